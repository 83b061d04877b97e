#include "lib/IniFile.h"

#include "lib/Exceptions.h"
#include "lib/SysUtils.h"
#include "win32/profile.h"

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& key,
                                const AnsiString& fallback) const {
  return AnsiString(ReadProfileString(fileName_.str(), section.str(), key.str(), fallback.str()));
}

int TIniFile::ReadInteger(const AnsiString& section, const AnsiString& key, int fallback) const {
  return StrToIntDef(ReadString(section, key, ""), fallback);
}

bool TIniFile::ReadBool(const AnsiString& section, const AnsiString& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& key,
                           const AnsiString& value) {
  std::string reason;
  if (!WriteProfileString(fileName_.str(), section.str(), key.str(), value.str(), &reason))
    throw Exception("Unable to write to " + fileName_ + ". " + AnsiString(reason));
}

void TIniFile::WriteBool(const AnsiString& section, const AnsiString& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteInteger(const AnsiString& section, const AnsiString& key, int value) {
  WriteString(section, key, IntToStr(value));
}
