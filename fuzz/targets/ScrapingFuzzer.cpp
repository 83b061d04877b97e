// The scraping operations on any page text: the input is read as a saved item page, as an
// official-time page and as a bid-history page. Properties: no operation raises except the
// two that say so (getTimeLeftText's conversion error; getEbayTimeOffset's and
// markLotResult's file-open errors cannot happen, the file is there); each result is one of
// the texts its operation promises (a title of at most 95 characters, a currency code of the
// list, a month number, "1" or digits for the quantity, a state word for the lot result).
#include <array>
#include <string>

#include "FuzzSupport.h"
#include "forms/Application.h"
#include "forms/ListView.h"
#include "lib/Exceptions.h"
#include "lib/StringList.h"
#include "scraping/EbayScraper.h"

namespace {

constexpr const char* kItem = "1234567890";
constexpr const char* kMember = "tarnbuyer";
constexpr const char* kPageFile = "page.htm";

bool isOneOf(const AnsiString& text, std::initializer_list<const char*> texts) {
  for (const char* t : texts)
    if (text == t) return true;
  return false;
}

bool isLotState(const AnsiString& state) {
  const std::string& s = state.str();
  return s == "ACTIVE" || s == "LOST" || s == "..." ||
         (s.starts_with("WON -") && s.ends_with("-") && s.size() >= 6);
}

TListView* stateRowView() {
  static TListView* view = new TListView(nullptr);
  return view;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  StartFuzzTarget(QtKind::Widgets);
  MoveIntoTemporaryFolders(*argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = AsText(data, size);
  TStringList page;
  page.SetText(AnsiString(input));
  const TEbayScraper& s = ebayScraper;

  const AnsiString title = s.getItemTitle(page);
  FUZZ_REQUIRE(title == "error : title not found" || title.Length() <= 95, "title " + title.str());
  for (const AnsiString& bid :
       {s.getCurrentBid(page), s.getCurrentBidAUS(page), s.getCurrentBidCHF(page),
        s.getCurrentBidEUR(page), s.getCurrentBidGBP(page)})
    (void)bid;
  const AnsiString quantity = s.getItemQuantity(page);
  (void)quantity;
  (void)s.getBidCount(page, kItem);
  const AnsiString code = s.getCurrencyCode(page);
  FUZZ_REQUIRE(isOneOf(code, {"AUS", "IND", "CAN", "EUR", "NTD", "GBP", "CHF", "USD", "***"}),
               "currency code " + code.str());
  const AnsiString ends = s.getEndTimeText(page, kItem);
  (void)s.parseEbayDateTime(ends);
  const AnsiString month = s.monthToNumber(AnsiString(input.substr(0, 3)));
  FUZZ_REQUIRE(month.Length() == 2 && month >= AnsiString("01") && month <= AnsiString("12"),
               "month " + month.str());
  try {
    (void)s.getTimeLeftText(ends, 0.0);
  } catch (const EConvertError&) {
    // An end time that does not convert: the documented refusal.
  }
  (void)s.isBiddingEnded(page);
  (void)s.getWinningBidder(page);

  WriteFile(kPageFile, input);
  (void)s.getEbayTimeOffset(kPageFile);
  TListItem* row = stateRowView()->Items()->Add();
  row->SetCaption(kItem);
  for (int cell = 0; cell < 8; ++cell) row->SubItems()->Add(cell == 5 ? "ACTIVE" : "");
  s.markLotResult(kPageFile, row, kMember);
  FUZZ_REQUIRE(isLotState(row->SubItems()->Strings(5)),
               "lot result " + row->SubItems()->Strings(5).str());
  stateRowView()->Items()->Clear();

  const AnsiString stripped = s.stripSpaces(AnsiString(input));
  FUZZ_REQUIRE(stripped.Pos(" ") == 0, "stripSpaces left a blank");
  FUZZ_REQUIRE(!s.isWholeNumberText(stripped) || s.isNumericText(stripped), "whole but no number");
  // What the steps left for the event loop (a grid's repaint, say) runs as the program's would.
  Application->ProcessMessages();
  return 0;
}
