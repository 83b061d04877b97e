#pragma once
// TIniFile over the profile functions: a bare file name lies in the Windows directory.
#include "lib/AnsiString.h"

class TIniFile {
 public:
  explicit TIniFile(AnsiString fileName) : fileName_(std::move(fileName)) {}
  const AnsiString& FileName() const { return fileName_; }

  AnsiString ReadString(const AnsiString& section, const AnsiString& key,
                        const AnsiString& fallback) const;
  // An integer value; non-zero is true; a text that is no integer gives the fallback.
  bool ReadBool(const AnsiString& section, const AnsiString& key, bool fallback) const;
  int ReadInteger(const AnsiString& section, const AnsiString& key, int fallback) const;
  // Raise Exception, with the reason, when the file cannot be written; the file then stays as
  // it was (it is replaced whole through a temporary file).
  void WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value);
  void WriteBool(const AnsiString& section, const AnsiString& key, bool value);  // "1" / "0"
  void WriteInteger(const AnsiString& section, const AnsiString& key, int value);

 private:
  AnsiString fileName_;
};
