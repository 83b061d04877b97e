// SMTP dot escape and content types by file extension.
#include "lib/SysUtils.h"
#include "netcomp/Mimeutil.h"
#include "netcomp/NetUrl.h"

void DotEscape(AnsiString& S) {
  AnsiString out;
  const std::string& s = S.str();
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool lineStart = i == 0 || (i >= 2 && s[i - 2] == '\r' && s[i - 1] == '\n');
    if (s[i] == '.' && lineStart) out += '.';
    out += s[i];
  }
  S = out;
}

AnsiString FilenameToContentType(const AnsiString& FileName) {
  struct Entry {
    const char* extension;
    const char* contentType;
  };
  static constexpr Entry kTypes[] = {
      {"htm", "text/html"},  {"html", "text/html"},  {"gif", "image/gif"},  {"bmp", "image/bmp"},
      {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"txt", "text/plain"},
  };
  const int dot = Posn(".", FileName, -1);
  if (dot > 0) {
    const AnsiString extension = LowerCase(FileName.SubString(dot + 1, FileName.Length()));
    for (const Entry& entry : kTypes)
      if (extension == entry.extension) return entry.contentType;
  }
  return "application/octet-stream";
}
