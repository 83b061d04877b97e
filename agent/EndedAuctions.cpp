// The refresh agent's reading of ended auctions: whether bidding has ended, who won a single
// listing, and what the member won of a multi-quantity listing (from its bid-history page).
#include <cctype>

#include "forms/ListView.h"
#include "lib/Exceptions.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "scraping/TextCuts.h"

using scraping::cutAfter;
using scraping::cutBefore;

namespace {

constexpr int kStateCell = 5;

// The page up to and including the first character of the description marker; empty
// without it.
AnsiString textBeforeDescription(const TStringList& page) {
  const AnsiString text = page.Text();
  return LeftStr(text, text.Pos("<!-- Begin Description -->"));
}

bool isUserIdCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' || c == '.' ||
         c == '*';
}

// Position of "userid=" + member as a whole user id (not the start of a longer id), 0 when
// the member has no such entry.
int memberEntryPos(const AnsiString& text, const AnsiString& member) {
  const AnsiString entry = "userid=" + member;
  int offset = 0;
  for (AnsiString rest = text; const int p = rest.Pos(entry);) {
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

bool TEbayScraper::isBiddingEnded(const TStringList& page) const {
  return containsText("<b>Bidding has ended for this item</b>", textBeforeDescription(page));
}

AnsiString TEbayScraper::getWinningBidder(const TStringList& page) const {
  // A page that names no winning bidder has none: the first user id elsewhere on it (a high
  // bidder below the reserve, the seller) is no winner.
  const AnsiString head = textBeforeDescription(page);
  if (!containsText(">Winning bidder:<", head)) return "";
  const AnsiString text = cutAfter(head, ">Winning bidder:<");
  const int d = text.Pos("userid=");
  const int e = text.Pos("&amp;iid=");
  return text.SubString(d + 7, e - d - 7);
}

void TEbayScraper::markLotResult(const AnsiString& fileName, TListItem* row,
                                 const AnsiString& member) const {
  TStringList file;
  file.LoadFromFile(fileName);
  AnsiString text = file.Text();
  if (row == nullptr) return;
  TListSubItems* cells = row->SubItems();
  // An empty member id would match the first bidder, and an id met only elsewhere on the page
  // (or as the start of a longer id) would read another bidder's row: neither is the member.
  text = cutAfter(text, "Date of bid</TD>");
  const int entry = member.IsEmpty() ? 0 : memberEntryPos(text, member);
  if (entry == 0) {
    cells->SetStrings(kStateCell, "LOST");
    return;
  }
  text = RightStr(text, text.Length() - entry);
  // Three cells on from the member's entry: the quantity won.
  for (int cell = 1; cell <= 3; ++cell) {
    const int f = text.Pos("<TD align=middle>");
    text = RightStr(text, text.Length() - f - (cell < 3 ? 15 : 16));
  }
  const AnsiString units = cutBefore(text, "</TD>");
  if (isNumericText(units)) cells->SetStrings(kStateCell, lotResultWord(units));
}
