// The filtered views, the column sort, the next bid and the totals, reckoned on eBay's clock
// from the end-time entries.
#include <algorithm>

#include "MainWindowFixture.h"
#include "lib/FormatSettings.h"

namespace {

using Texts = std::vector<std::string>;

class ViewsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    FormatSettings().CurrencyString = "$";
    FormatSettings().CurrencyFormat = 0;
    FormatSettings().ThousandSeparator = ',';
    frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
    frmMain->pcViews->SetActivePage(frmMain->tsGridAll);
  }
  // A watched auction ending minutes from now (negative: in the past), with its entry.
  static TListItem* auction(const std::string& item, double minutes, const char* snipe,
                            const char* current, const char* ends = "2 days") {
    TListItem* row = addWatched(item, ends);
    setCellText(row, siSnipeAmount, snipe);
    setCellText(row, siCurrent, current);
    addRow(frmMain->lvAllTdate, {item, DateTimeToStr(Now() + minutes * OneMinute).str(), "1"});
    return row;
  }
  static Texts shown(TTabSheet* page, TListView* view) {
    frmMain->pcViews->SetActivePage(frmMain->tsGridAll);
    frmMain->pcViews->SetActivePage(page);
    return captionsOf(view);
  }
};

TEST_F(ViewsTest, EachViewShowsTheAuctionsOfItsState) {
  auction("1", 60, "0.00", "5.00");              // open, no snipe: outbid
  auction("2", 60, "20.00", "5.00");             // open, snipe above: high bidder, waiting
  auction("3", 60, "0", "5.00");                 // "0" counts as set: waiting
  auction("4", -60, "0.00", "5.00", "LOST");     // ended, lost
  auction("5", -60, "9.00", "5.00", "WON -2-");  // ended, won
  auction("6", -60, "0.00", "5.00", "ENDED");    // ended, neither: in no view
  addWatched("7");                               // no end-time entry: in no view
  EXPECT_EQ(shown(frmMain->tsViewActOut, frmMain->lvActiveOutbid), (Texts{"1", "3"}));
  EXPECT_EQ(shown(frmMain->tsHighBidder, frmMain->lvActiveHighBidder), (Texts{"2"}));
  EXPECT_EQ(shown(frmMain->tsActiveWaitingToBid, frmMain->lvActiveWaitingToBid), (Texts{"2", "3"}));
  EXPECT_EQ(shown(frmMain->tsClosedLost, frmMain->lvClosedLost), (Texts{"4"}));
  EXPECT_EQ(shown(frmMain->tsClosedWon, frmMain->lvClosedWon), (Texts{"5"}));
  EXPECT_EQ(cellsOf(frmMain->lvClosedWon->Items()->Item(0)),
            cellsOf(findRowByCaption(frmMain->lvShowAll, "5")));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ViewsTest, NonNumericAmountsShowTheirBoxesAndLandInOutbid) {
  auction("1", 60, "abc", "5.00");
  auction("2", 60, "3.00", "***");
  EXPECT_EQ(shown(frmMain->tsViewActOut, frmMain->lvActiveOutbid), (Texts{"1"}));
  EXPECT_EQ(boxTexts(), (Texts{"Nonumeric value in snipe amount. ERROR #430-1618",
                               "Nonumeric value in current bid. ERROR #426-1607"}));
  boxes_.clear();
  EXPECT_EQ(shown(frmMain->tsHighBidder, frmMain->lvActiveHighBidder), (Texts{"2"}));
  EXPECT_EQ(boxTexts().size(), 2u);
}

TEST_F(ViewsTest, ColumnSortOrdersTextAndAmountsAndSurvivesUnreadableBids) {
  auction("B2", 60, "0.00", "10.00")->SubItems()->SetStrings(siBids, "9");
  auction("a1", 60, "0.00", "9.50")->SubItems()->SetStrings(siBids, "10");
  auction("c3", 60, "0.00", "***")->SubItems()->SetStrings(siBids, "1");
  const auto sortBy = [](int column) {
    frmMain->lvShowAll->OnColumnClick(frmMain->lvShowAll,
                                      frmMain->lvShowAll->Columns()->Items(column));
    return captionsOf(frmMain->lvShowAll);
  };
  EXPECT_EQ(sortBy(0), (Texts{"a1", "B2", "c3"}));
  EXPECT_EQ(sortBy(4), (Texts{"c3", "a1", "B2"}));  // "1" < "10" < "9" as text
  const Texts byCurrent = sortBy(3);
  EXPECT_EQ(byCurrent.size(), 3u);
  const auto at = [&](const char* item) {
    return std::find(byCurrent.begin(), byCurrent.end(), item) - byCurrent.begin();
  };
  EXPECT_LT(at("a1"), at("B2"));  // 9.50 before 10.00
}

TEST_F(ViewsTest, NextBidIsTheFirstOpenAuctionToEndAndTotalsAddCurrentBids) {
  auction("1", 300, "1.00", "1000.00");
  auction("2", 30, "2.00", "2.50");
  auction("3", 30, "3.00", "4.00");  // same end as 2, later in the list
  auction("4", -30, "4.00", "8.00", "LOST");
  auction("5", 30, "0.00", "***");
  frmMain->calcTotals();
  EXPECT_EQ(frmMain->edtNBItemNum->Text().str(), "2");
  EXPECT_EQ(frmMain->edtNBSnipeAmt->Text().str(), "2.00");
  EXPECT_EQ(frmMain->lblTotal->Caption().str(), "$1,014.50");
  EXPECT_EQ(frmMain->lblOpen->Caption().str(), "$1,006.50");
  EXPECT_EQ(frmMain->lblHr->Caption().str(), "$6.50");
}

// Under a locale whose decimal separator is a comma the amounts of the cells (written with a
// point) are read all the same; only the totals' own text follows the locale.
TEST_F(ViewsTest, AmountsWithAPointAreReadUnderACommaLocale) {
  FormatSettings().DecimalSeparator = ',';
  FormatSettings().ThousandSeparator = '.';
  auction("1", 300, "20.00", "12.50");
  auction("2", 30, "0.50", "1.25");
  frmMain->calcTotals();
  EXPECT_EQ(frmMain->lblTotal->Caption().str(), "$13,75");
  EXPECT_EQ(frmMain->lblHr->Caption().str(), "$1,25");
  EXPECT_EQ(shown(frmMain->tsHighBidder, frmMain->lvActiveHighBidder), (Texts{"1"}));
  EXPECT_EQ(shown(frmMain->tsViewActOut, frmMain->lvActiveOutbid), (Texts{"2"}));
  EXPECT_TRUE(boxTexts().empty());
}

TEST_F(ViewsTest, EmptyListGivesPlainZerosAndShowNextBidAsksForItems) {
  frmMain->edtNBItemNum->SetText("kept");
  frmMain->calcTotals();
  for (TLabel* label : {frmMain->lblTotal, frmMain->lblOpen, frmMain->lblHr})
    EXPECT_EQ(label->Caption().str(), "0.00");
  frmMain->ShowNextBid1->Click();
  EXPECT_EQ(boxTexts(), (Texts{"No items in grid."}));
  EXPECT_EQ(frmMain->edtNBItemNum->Text().str(), "kept");

  // All ended: the fields stay, open and hour are a zero amount, T still sums.
  auction("1", -30, "0.00", "***", "LOST");
  frmMain->calcTotals();
  EXPECT_EQ(frmMain->edtNBItemNum->Text().str(), "kept");
  EXPECT_EQ(frmMain->lblTotal->Caption().str(), "$0.00");
  EXPECT_EQ(frmMain->lblOpen->Caption().str(), "$0.00");
}

}  // namespace
