#pragma once
// TStringList: a list of text lines. Its Text has CR LF after every line; files are read and
// written as bytes with CR LF lines.
#include <cstddef>
#include <vector>

#include "lib/AnsiString.h"

class TStringList {
 public:
  TStringList() = default;

  int Count() const { return static_cast<int>(lines_.size()); }
  // Raise EStringListError "List index out of bounds (i)" outside 0..Count-1.
  const AnsiString& Strings(int index) const;
  void SetStrings(int index, const AnsiString& value);
  const AnsiString& operator[](int index) const { return Strings(index); }

  int Add(const AnsiString& line);
  void Insert(int index, const AnsiString& line);
  void Delete(int index);
  void Clear() {
    lines_.clear();
    textLength_ = 0;
  }
  int IndexOf(const AnsiString& line) const;  // case ignored, as the library does

  // Every line followed by CR LF.
  AnsiString Text() const;
  // The length of Text(), known without making it.
  std::size_t TextLength() const { return textLength_; }
  // Splits at CR LF, LF or CR; a final line break adds no empty line.
  void SetText(const AnsiString& text);

  // Raise EFOpenError "Cannot open file NAME" when the file cannot be opened ("... It is a
  // folder." when the name is a folder's).
  void LoadFromFile(const AnsiString& fileName);
  // Replaces the file whole: the text goes to a temporary file in the same folder, flushed to
  // the disk and renamed over the old file. Raises EFCreateError, with the reason, when the
  // file cannot be written; the old file then stays whole and no temporary is left.
  void SaveToFile(const AnsiString& fileName) const;

 private:
  void checkIndex(int index) const;
  std::vector<AnsiString> lines_;
  std::size_t textLength_ = 0;  // every line's length and its CR LF
};
