#include "scraping/TextCuts.h"

#include "lib/SysUtils.h"

namespace scraping {

AnsiString cutAfter(const AnsiString& text, const AnsiString& marker) {
  return RightStr(text, text.Length() - text.Pos(marker));
}

AnsiString cutBefore(const AnsiString& text, const AnsiString& marker) {
  return LeftStr(text, text.Pos(marker) - 1);
}

AnsiString cellText(const AnsiString& text) { return LeftStr(text, kLongestCellText); }

}  // namespace scraping
