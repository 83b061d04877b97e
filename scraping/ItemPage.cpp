// The facts of one auction, cut out of a saved eBay item page by fixed text markers.
#include <array>
#include <utility>

#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "scraping/TextCuts.h"

using scraping::cellText;
using scraping::cutAfter;
using scraping::cutBefore;

namespace {

const AnsiString kNbsp("\xA0");  // the no-break space of Windows-1252
const AnsiString kQuote("\"");
const AnsiString kReadyToBid(">Ready to bid");
const AnsiString kNotFound("***");

// Blanks, tabs, surrounding control characters and thousands commas go; what is left must be
// a bare decimal text.
AnsiString cleanAmount(const TEbayScraper& s, AnsiString amount) {
  amount = s.replaceAllText(amount, "", " ");
  amount = s.replaceAllText(amount, "", "\t");
  amount = Trim(amount);
  amount = s.stripSpaces(amount);
  amount = s.replaceAllText(amount, "", ",");
  return s.isNumericText(amount) ? amount : kNotFound;
}

// The bid of a non-dollar page: behind the currency's marker, up to the tag that follows.
// The 100-character window begins at the marker (windowAtMarker) or just behind it; the amount
// is the part of the window from keepFrom up to dropBeforeTag - 1 characters before its first
// "<".
AnsiString currencyBid(const TEbayScraper& s, const TStringList& page, const AnsiString& marker,
                       bool windowAtMarker, int keepFrom, int dropBeforeTag) {
  const AnsiString text = cutAfter(cutAfter(page.Text(), kReadyToBid), " bid:");
  const int a = text.Pos(marker);
  if (a == 0) return kNotFound;
  const AnsiString window = text.SubString(windowAtMarker ? a : a + marker.Length(), 100);
  const int tag = window.Pos("<");
  if (tag == 0) return kNotFound;
  return cleanAmount(s, window.SubString(keepFrom, tag - dropBeforeTag));
}

AnsiString europeanMarker(const char* code) { return kQuote + "top" + kQuote + ">" + code + kNbsp; }

}  // namespace

AnsiString TEbayScraper::getItemTitle(const TStringList& page) const {
  const AnsiString marker = "<h1 class=" + kQuote + "itemTitle" + kQuote + ">";
  const AnsiString text = page.Text();
  const AnsiString window = text.SubString(text.Pos(marker) + marker.Length(), 100);
  const int end = window.Pos("</h1>");
  if (end == 0) return "error : title not found";
  return cellText(LeftStr(window, end - 1));
}

AnsiString TEbayScraper::getCurrentBid(const TStringList& page) const {
  const AnsiString code = getCurrencyCode(page);
  if (code == "AUS") return getCurrentBidAUS(page);
  if (code == "CHF") return getCurrentBidCHF(page);
  if (code == "EUR") return getCurrentBidEUR(page);
  if (code == "GBP") return getCurrentBidGBP(page);

  // Every other code is written behind a "$".
  const AnsiString text = cutAfter(cutAfter(page.Text(), kReadyToBid), "bid:");
  const int dollar = text.Pos("$");
  if (dollar == 0) return kNotFound;
  const AnsiString window = text.SubString(dollar, 100);
  // Up to two characters behind the point, the "$" dropped.
  return cleanAmount(*this, window.SubString(2, window.Pos(".") + 1));
}

AnsiString TEbayScraper::getCurrentBidAUS(const TStringList& page) const {
  return currencyBid(*this, page, "$", true, 2, 3);
}

AnsiString TEbayScraper::getCurrentBidCHF(const TStringList& page) const {
  return currencyBid(*this, page, europeanMarker("CHF"), false, 1, 2);
}

AnsiString TEbayScraper::getCurrentBidEUR(const TStringList& page) const {
  return currencyBid(*this, page, europeanMarker("EUR"), false, 1, 2);
}

AnsiString TEbayScraper::getCurrentBidGBP(const TStringList& page) const {
  return currencyBid(*this, page, europeanMarker("GBP"), false, 1, 2);
}

AnsiString TEbayScraper::getItemQuantity(const TStringList& page) const {
  const AnsiString text = page.Text();
  AnsiString head = LeftStr(text, text.Pos("Item location:"));
  if (head.Pos("Quantity:") == 0) return "1";
  head = cutAfter(head, "Quantity:");
  const AnsiString window = head.SubString(head.Pos("</td><td>") + 9, 10);
  return cellText(cutBefore(window, " "));
}

AnsiString TEbayScraper::getBidCount(const TStringList& page, const AnsiString& itemNum) const {
  const AnsiString text = page.Text();
  AnsiString head = LeftStr(text, text.Pos("Ships to:"));
  if (containsText("Bidders list", head))
    return containsText("Quantity:", head) ? "LOT" : "undetermined";
  // The count starts the text of the bid history link, which ends in the item number.
  head = cutAfter(head, ">History:<");
  head = cutAfter(head, itemNum + kQuote + ">");
  head = cutAfter(head, ">");
  return cellText(cutBefore(head, " "));
}

AnsiString TEbayScraper::getEndTimeText(const TStringList& page, const AnsiString& itemNum) const {
  // The page title reads: item number, " end time ", Mon-dd-yy hh:mm:ss, a blank, zone, ")".
  AnsiString text = cutAfter(page.Text(), itemNum);
  text = cutAfter(text, " ");
  text = LeftStr(text, text.Pos("T)"));
  text = RightStr(text, text.Length() - text.Pos(" end time ") - 9);
  text = LeftStr(text, text.Length() - 4);  // the blank and the zone
  return text.IsEmpty() ? AnsiString("undetermined") : text;
}

AnsiString TEbayScraper::getCurrencyCode(const TStringList& page) const {
  AnsiString text = cutAfter(page.Text(), kReadyToBid);
  // The minimum bid phrase reads "(Enter", the currency and the amount, then the marker.
  const int orMore = text.Pos(kNbsp + "<b>or more</b>)");
  text = RightStr(text, text.Length() - orMore + 20);
  const int enter = text.Pos("(Enter");
  if (enter == 0) return kNotFound;
  const AnsiString window = text.SubString(enter, 10);
  // First match wins: "AU" must be tested before "US".
  static const std::array<std::pair<const char*, const char*>, 8> codes{{{"AU", "AUS"},
                                                                         {"INR", "IND"},
                                                                         {" C ", "CAN"},
                                                                         {"EUR", "EUR"},
                                                                         {"NT$", "NTD"},
                                                                         {"GBP", "GBP"},
                                                                         {"CHF", "CHF"},
                                                                         {"US", "USD"}}};
  for (const auto& [shown, code] : codes)
    if (containsText(shown, window)) return code;
  return kNotFound;
}
