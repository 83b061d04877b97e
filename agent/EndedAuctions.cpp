// The refresh agent's reading of a bid-history page: what the member won of an ended
// multi-quantity listing.
#include <cctype>

#include "forms/ListView.h"
#include "lib/Exceptions.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "scraping/TextCuts.h"
#include "scraping/WorkFiles.h"

using scraping::cutBefore;

namespace {

bool isUserIdCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == '.' ||
         c == '*';
}

// Position of "userid=" + member as a whole user id (not the start of a longer id), 0 when
// the member has no such entry. User ids are compared without regard to ASCII letter case.
int memberEntryPos(const AnsiString& text, const AnsiString& member) {
  const AnsiString folded = UpperCase(text);
  const AnsiString entry = "USERID=" + UpperCase(member);
  int offset = 0;
  for (AnsiString rest = folded; const int p = rest.Pos(entry);) {
    const int after = p + entry.Length();
    if (after > rest.Length() || !isUserIdCharacter(rest[after])) return offset + p;
    offset += p;
    rest = rest.SubString(p + 1, rest.Length());
  }
  return 0;
}

// "LOST" for 0, "WON -n-" for n units, "..." for a number that is no whole number.
AnsiString lotResultWord(const AnsiString& units) {
  try {
    const int n = StrToInt(units);
    return n == 0 ? AnsiString("LOST") : "WON -" + AnsiString(n) + "-";
  } catch (const EConvertError&) {
    return "...";
  }
}

}  // namespace

void TEbayScraper::markLotResult(const AnsiString& fileName, TListItem* row,
                                 const AnsiString& member) const {
  TStringList file;
  file.LoadFromFile(fileName);
  AnsiString text = file.Text();
  if (row == nullptr) return;
  TListSubItems* cells = row->SubItems();
  // An empty member id would match the first bidder, and an id met only elsewhere on the page
  // (or as the start of a longer id) would read another bidder's row: neither is the member.
  text = scraping::cutAfter(text, "Date of bid</TD>");
  const AnsiString memberId = memberIdOf(member);
  const int entry = memberId.IsEmpty() ? 0 : memberEntryPos(text, memberId);
  if (entry == 0) {
    cells->SetStrings(siEnds, "LOST");
    return;
  }
  text = RightStr(text, text.Length() - entry);
  // Three cells on from the member's entry: the quantity won.
  for (int cell = 1; cell <= 3; ++cell) {
    const int f = text.Pos("<TD align=middle>");
    text = RightStr(text, text.Length() - f - (cell < 3 ? 15 : 16));
  }
  const AnsiString units = cutBefore(text, "</TD>");
  if (isNumericText(units)) cells->SetStrings(siEnds, lotResultWord(units));
}
