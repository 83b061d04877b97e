// Ended auctions: whether bidding has ended, the winning bidder of a single listing, the
// member's result on a bid-history page, and the bid-history page's address.
#include <fstream>

#include "ScrapingTestSupport.h"
#include "forms/Application.h"
#include "forms/ListView.h"
#include "lib/Exceptions.h"
#include "scraping/EbayScraper.h"
#include "scraping/SiteHosts.h"

namespace {

class EndedAuctions : public ScrapingTest {
 protected:
  static void SetUpTestSuite() { Application->Initialize(); }
};

const char* const kDescription = "<!-- Begin Description -->";

std::string endedPage(const std::string& winnerRow) {
  return "<title>x (item 5 end time Oct-23-05 00:35:02 PST)</title>\r\n"
         "<b>Bidding has ended for this item</b>\r\n" +
         winnerRow + "\r\n" + kDescription + "\r\n</html>\r\n";
}

TEST_F(EndedAuctions, BiddingEndedCountsOnlyBeforeTheDescription) {
  EXPECT_TRUE(ebayScraper.isBiddingEnded(pageOf(endedPage("").c_str())));
  EXPECT_FALSE(ebayScraper.isBiddingEnded(
      pageOf((std::string(kDescription) + "<b>Bidding has ended for this item</b>").c_str())));
  EXPECT_FALSE(ebayScraper.isBiddingEnded(pageOf("<b>Bidding has ended for this item</b>")));
}

TEST_F(EndedAuctions, WinningBidderIsTheIdBetweenItsMarkers) {
  const std::string row =
      "<tr><td>Winning bidder:</td><td><a href=\"x?userid=sam_99&amp;iid=5\">sam_99</a>";
  EXPECT_EQ(ebayScraper.getWinningBidder(pageOf(endedPage(row).c_str())), "sam_99");
  EXPECT_EQ(ebayScraper.getWinningBidder(pageOf(endedPage("no winner").c_str())), "");
  EXPECT_EQ(ebayScraper.getWinningBidder(pageOf(row.c_str())), "");  // no description
}

TEST_F(EndedAuctions, MemberIdIsTheWholeIdWithoutRegardToCaseOrBlanks) {
  EXPECT_TRUE(ebayScraper.isMemberId("buyer7", "BUYER7"));
  EXPECT_TRUE(ebayScraper.isMemberId("Buyer7", " buyer7 "));
  EXPECT_FALSE(ebayScraper.isMemberId("buyer77", "buyer7"));
  EXPECT_FALSE(ebayScraper.isMemberId("", ""));
  EXPECT_FALSE(ebayScraper.isMemberId("", "   "));
  // Only ASCII letters fold: eBay ids are ASCII.
  EXPECT_FALSE(ebayScraper.isMemberId("\xe9tienne", "\xc9tienne"));
  EXPECT_EQ(ebayScraper.memberIdOf("\t buyer7  "), "buyer7");
}

// A bid-history page with one row per (userid, units).
std::string historyPage(const std::vector<std::pair<std::string, std::string>>& rows,
                        const std::string& title = "Lamp") {
  std::string page =
      "<title>Bid History for " + title +
      " (Item # 5)</title>\r\n(not automatic bids generated) eBay official time\r\n"
      "<TR><TD>User ID</TD><TD align=middle>Bid Amount</TD><TD align=middle>Quantity "
      "wanted</TD><TD align=middle>Quantity winning</TD><TD align=middle>Date of bid</TD></TR>\r\n";
  for (const auto& [userid, units] : rows)
    page += "<TR><TD><a href=\"/x?userid=" + userid + "\">" + userid +
            "</a></TD><TD align=middle>US $10.00</TD><TD align=middle>3</TD><TD align=middle>" +
            units + "</TD><TD align=middle>Oct-23-05 00:35:02 PST</TD></TR>\r\n";
  return page + "</table></html>\r\n";
}

TEST_F(EndedAuctions, LotResultFromTheMembersUnitCell) {
  struct Case {
    const char* name;
    std::string page;
    const char* member;
    const char* state;
  };
  const Case cases[] = {
      {"two units", historyPage({{"rival", "1"}, {"tarnbuyer", "2"}}), "tarnbuyer", "WON -2-"},
      {"zero units", historyPage({{"tarnbuyer", "0"}}), "tarnbuyer", "LOST"},
      {"leading zeros", historyPage({{"tarnbuyer", "003"}}), "tarnbuyer", "WON -3-"},
      {"no whole number", historyPage({{"tarnbuyer", "1.5"}}), "tarnbuyer", "..."},
      {"letters", historyPage({{"tarnbuyer", "two"}}), "tarnbuyer", "ENDED - LOT"},
      {"member absent", historyPage({{"rival", "2"}}), "tarnbuyer", "LOST"},
      // The member's id met only in the title is no bid of the member's.
      {"member only in title", historyPage({{"rival", "2"}}, "tarnbuyer"), "tarnbuyer", "LOST"},
      // A longer id that begins with the member's is another bidder.
      {"longer id first", historyPage({{"tarnbuyer2", "4"}, {"tarnbuyer", "1"}}), "tarnbuyer",
       "WON -1-"},
      // Without a member id no bidder is the member.
      {"no member id", historyPage({{"rival", "2"}}), "", "LOST"},
      // User ids do not depend on letter case; blanks around the member id are no part of it.
      {"other letter case", historyPage({{"rival", "1"}, {"TarnBuyer", "2"}}), " TARNBUYER ",
       "WON -2-"},
      {"longer id in other case", historyPage({{"TARNBUYER2", "4"}}), "tarnbuyer", "LOST"},
  };
  for (const Case& c : cases) {
    std::ofstream("5.dsp", std::ios::binary) << c.page;
    TListView table(nullptr);
    TListItem* row = table.Items()->Add();
    row->SetCaption("5");
    for (const char* cell : {"0.00", "Lamp", "1.00", "LOT", "3", "ENDED - LOT", "USD", "IND"})
      row->SubItems()->Add(cell);
    ebayScraper.markLotResult("5.dsp", row, c.member);
    EXPECT_EQ(row->SubItems()->Strings(5), c.state) << c.name;
  }
}

TEST_F(EndedAuctions, LotResultWithoutRowOrFile) {
  std::ofstream("5.dsp", std::ios::binary) << historyPage({{"tarnbuyer", "2"}});
  EXPECT_NO_THROW(ebayScraper.markLotResult("5.dsp", nullptr, "tarnbuyer"));
  EXPECT_THROW(ebayScraper.markLotResult("missing.dsp", nullptr, "tarnbuyer"), EFOpenError);
}

TEST_F(EndedAuctions, BidHistoryAddressFromTheConfiguredHost) {
  EXPECT_EQ(bidHistoryPageUrl("12 34"),
            "http://offer.ebay.com/ws/eBayISAPI.dll?ViewBids&item=1234");
  std::ofstream(windows() / "tarnwick.ini", std::ios::binary)
      << "[hosts]\r\nbids=http://127.0.0.1:8080\r\n";
  EXPECT_EQ(bidHistoryHost(), "http://127.0.0.1:8080");
  EXPECT_EQ(bidHistoryPageUrl("99"), "http://127.0.0.1:8080/ws/eBayISAPI.dll?ViewBids&item=99");
}

}  // namespace
