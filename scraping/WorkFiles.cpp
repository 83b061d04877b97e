#include "scraping/WorkFiles.h"

bool fitsInFileName(const AnsiString& text) {
  for (const char* part : {"/", "\\", ":", ".."})
    if (text.Pos(part) > 0) return false;
  for (const char c : text.str())
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

AnsiString oneLine(const AnsiString& text) {
  std::string line = text.str();
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return AnsiString(std::move(line));
}

bool isOverState(const AnsiString& ends) {
  return ends.Pos("WON") > 0 || ends.Pos("LOST") > 0 || ends.Pos("ENDED") > 0;
}
