#include "scraping/WorkFiles.h"

namespace {

// Longest text that may become part of a file name: with the longest prefix and extension put
// around it ("canc" and ".TDL") and the name of the temporary a save writes first ("." before,
// ".tarnwick-save.XXXXXX" after), it stays within the 255 bytes a file name may have.
constexpr int kLongestNamePart = 200;

}  // namespace

bool fitsInFileName(const AnsiString& text) {
  if (text.Length() > kLongestNamePart) return false;
  for (const char* part : {"/", "\\", ":", ".."})
    if (text.Pos(part) > 0) return false;
  for (const char c : text.str())
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

AnsiString oneLine(const AnsiString& text) {
  std::string line = text.str();
  for (char& c : line)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return AnsiString(std::move(line));
}

bool isOverState(const AnsiString& ends) {
  return ends.Pos("WON") > 0 || ends.Pos("LOST") > 0 || ends.Pos("ENDED") > 0;
}
