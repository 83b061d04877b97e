// The facts of an auction read out of saved item pages (Windows-1252 bytes, 0xA0 where eBay
// writes a no-break space).
#include <string>

#include "ScrapingTestSupport.h"
#include "scraping/EbayScraper.h"

namespace {

const char* const kItem = "1234567890";

using ItemPageFacts = ScrapingTest;

struct PageCase {
  const char* file;
  const char* title;
  const char* currency;
  const char* bid;
  const char* quantity;
  const char* bids;
  const char* ends;
};

TEST_F(ItemPageFacts, EveryMarkerRoadAndSentinel) {
  const PageCase cases[] = {
      {"usd.htm", "Brass Widget", "USD", "1234.56", "3", "12", "Oct-23-05 00:35:02"},
      {"can.htm", "Brass Widget", "CAN", "7.25", "3", "12", "Oct-23-05 00:35:02"},
      {"ntd.htm", "Brass Widget", "NTD", "150.00", "3", "12", "Oct-23-05 00:35:02"},
      {"aus.htm", "Brass Widget", "AUS", "1212", "3", "12", "Oct-23-05 00:35:02"},
      {"chf.htm", "Brass Widget", "CHF", "1250.00", "3", "12", "Oct-23-05 00:35:02"},
      {"eur.htm", "Brass Widget", "EUR", "45.10", "3", "12", "Oct-23-05 00:35:02"},
      {"gbp.htm", "Brass Widget", "GBP", "19.99", "3", "12", "Oct-23-05 00:35:02"},
      // A letter left in the amount after the clean-up.
      {"letter_in_bid.htm", "Brass Widget", "USD", "***", "3", "12", "Oct-23-05 00:35:02"},
      // "(Enter" 20 characters before the no-break space lies outside the window.
      {"long_amount.htm", "Brass Widget", "***", "1234.56", "3", "12", "Oct-23-05 00:35:02"},
      {"lot.htm", "Brass Widget", "USD", "1234.56", "5", "LOT", "Oct-23-05 00:35:02"},
      {"bidders_only.htm", "Brass Widget", "USD", "1234.56", "1", "undetermined",
       "Oct-23-05 00:35:02"},
      // No title marker, no "(Enter", no "Item location:" (though "Quantity:" is there), no
      // "Ships to:", no "T)".
      {"no_markers.htm", "error : title not found", "***", "1234.56", "1", "", "undetermined"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const TStringList page = fixturePage(c.file);
    EXPECT_EQ(ebayScraper.getItemTitle(page), c.title);
    EXPECT_EQ(ebayScraper.getCurrencyCode(page), c.currency);
    EXPECT_EQ(ebayScraper.getCurrentBid(page), c.bid);
    EXPECT_EQ(ebayScraper.getItemQuantity(page), c.quantity);
    EXPECT_EQ(ebayScraper.getBidCount(page, kItem), c.bids);
    EXPECT_EQ(ebayScraper.getEndTimeText(page, kItem), c.ends);
  }
}

TEST_F(ItemPageFacts, TitlesUpTo95CharactersFitTheWindow) {
  for (int length : {1, 94, 95, 96, 120}) {
    const std::string title(length, 'T');
    const TStringList page =
        pageOf(AnsiString("<html>\r\n<h1 class=\"itemTitle\">" + title + "</h1>\r\n</html>"));
    EXPECT_EQ(ebayScraper.getItemTitle(page),
              length <= 95 ? AnsiString(title) : AnsiString("error : title not found"))
        << length;
  }
}

// A text cut out of a page for a cell is cut to what a cell can show, however long the page
// runs on without the marker that would end it.
TEST_F(ItemPageFacts, TextsForACellAreCutToWhatACellShows) {
  const std::string run(1 << 20, '7');
  const TStringList page = pageOf(
      AnsiString("<tr><td>History:</td><td><a href=\"x?item=" + std::string(kItem) + "\">" + run +
                 " bids</a></td></tr>\r\n<tr><td>Ships to:</td><td>Worldwide</td></tr>\r\n"));
  EXPECT_EQ(ebayScraper.getBidCount(page, kItem), AnsiString(run.substr(0, 256)));
  EXPECT_EQ(ebayScraper.getBidCount(pageOf("<tr><td>History:</td><td><a href=\"x?item=" +
                                           AnsiString(kItem) + "\">12 bids</a>Ships to:"),
                                    kItem),
            "12");
}

TEST_F(ItemPageFacts, TitleKeepsEntitiesAndInnerTagsAsTheyStand) {
  const TStringList page = pageOf("<h1 class=\"itemTitle\">Tom &amp; <i>Jerry</i></h1>");
  EXPECT_EQ(ebayScraper.getItemTitle(page), "Tom &amp; <i>Jerry</i>");
}

TEST_F(ItemPageFacts, CurrencyCodesAreTestedInTheirFixedOrder) {
  const struct {
    const char* phrase;
    const char* code;
  } cases[] = {
      {"(Enter AU $5.00", "AUS"}, {"(Enter AUS $5.00", "AUS"},  // "AU" is tested before "US"
      {"(Enter INR 5.00", "IND"}, {"(Enter C $5.00", "CAN"},   {"(Enter EUR 5.00", "EUR"},
      {"(Enter NT$ 5.00", "NTD"}, {"(Enter GBP 5.00", "GBP"},  {"(Enter CHF 5.00", "CHF"},
      {"(Enter US $5.00", "USD"}, {"(Enter 5.00", "***"},      {"(enter US $5.00", "***"},
  };
  for (const auto& c : cases) {
    const TStringList page =
        pageOf(AnsiString(">Ready to bid\r\n") + c.phrase + "\xA0<b>or more</b>)\r\n");
    EXPECT_EQ(ebayScraper.getCurrencyCode(page), c.code) << c.phrase;
  }
}

TEST_F(ItemPageFacts, EndTimeWithTheMarkerBlankStillInPlace) {
  // When " end time " is found, the text right behind it is kept.
  const TStringList page = pageOf("<title>x 123 y end time Oct-23-05 00:35:02 PDT)</title>");
  EXPECT_EQ(ebayScraper.getEndTimeText(page, "123"), "Oct-23-05 00:35:02");
}

}  // namespace
