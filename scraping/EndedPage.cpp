// Reading an ended item page for the member, and whether a page is the item's at all. One rule
// serves both programs: the portal when an auction is added, the agent at every refresh.
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "scraping/TextCuts.h"

using scraping::cutAfter;

namespace {

// The page up to and including the first character of the description marker; empty
// without it.
AnsiString textBeforeDescription(const TStringList& page) {
  const AnsiString text = page.Text();
  return LeftStr(text, text.Pos("<!-- Begin Description -->"));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

AnsiString TEbayScraper::memberIdOf(const AnsiString& typed) const { return Trim(typed); }

bool TEbayScraper::isMemberId(const AnsiString& userId, const AnsiString& member) const {
  const AnsiString wanted = memberIdOf(member);
  return !wanted.IsEmpty() && SameText(memberIdOf(userId), wanted);
}

AnsiString TEbayScraper::endedAuctionState(const TStringList& page, const AnsiString& itemNum,
                                           const AnsiString& member) const {
  if (getBidCount(page, itemNum) == "LOT") return "ENDED - LOT";
  // Won only by a known member id: a page that names no winner, read without a member id, is
  // no win.
  return isMemberId(getWinningBidder(page), member) ? "WON" : "LOST";
}

bool TEbayScraper::namesItemNumber(const AnsiString& text, const AnsiString& itemNum) const {
  const std::string& haystack = text.str();
  const std::string& wanted = itemNum.str();
  if (wanted.empty()) return true;
  for (auto at = haystack.find(wanted); at != std::string::npos;
       at = haystack.find(wanted, at + 1)) {
    const auto end = at + wanted.size();
    const bool longerBefore = isDigit(wanted.front()) && at > 0 && isDigit(haystack[at - 1]);
    const bool longerAfter =
        isDigit(wanted.back()) && end < haystack.size() && isDigit(haystack[end]);
    if (!longerBefore && !longerAfter) return true;
  }
  return false;
}
