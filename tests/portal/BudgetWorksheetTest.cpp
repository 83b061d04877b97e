// The budget worksheet: the plan sheet that "Create Plan Sheet From Grid" writes into the
// workbook from the watch list, its formulas and what a rebuild keeps.
#include <QDir>
#include <QRegularExpression>
#include <QTableView>
#include <string>

#include "MainWindowFixture.h"

namespace {

using Row = std::vector<std::string>;

class BudgetWorksheetTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    frmMain->SetLogging(true);
    frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
    book()->ClearRange(1, 1, 300, 20, F1ClearAll);
  }
  static TF1Book* book() { return frmMain->F1Book1; }
  static void createPlanSheet() { frmMain->AddAllToWorksheet1->Click(); }
  // The entries of columns A to F of a sheet row.
  static Row entries(int row) {
    Row cells;
    for (int column = 1; column <= 6; ++column) cells.push_back(book()->EntryRC(row, column).str());
    return cells;
  }
  static Row shown(int row) {
    Row cells;
    for (int column = 1; column <= 6; ++column) cells.push_back(book()->TextRC(row, column).str());
    return cells;
  }
  static void enter(int row, int column, const char* entry) {
    book()->SetActiveCell(row, column);
    book()->SetEntry(entry);
  }
  QByteArray traceLog() const {
    const QRegularExpression pattern("^\\d[\\d.E-]*logger\\.txt$");
    for (const QString& name : QDir(work_).entryList(QDir::Files))
      if (pattern.match(name).hasMatch()) return readFile(workPath(name));
    return {};
  }
};

const Row headingRow{"ITEM #", "DESCRIPTION / TITLE OF AUCTION", "PRICE", "SHIPPING", "OTHER",
                     "TOTAL"};

TEST_F(BudgetWorksheetTest, EmptyWatchListGivesHeadingsAndTotalsOnItsOwnRangeAsCycleErrors) {
  createPlanSheet();
  EXPECT_EQ(frmMain->PageControl1->ActivePage(), frmMain->tsBudgeWrksht);
  EXPECT_EQ(entries(1), headingRow);
  for (int column = 1; column <= 6; ++column) EXPECT_TRUE(book()->IsHeading(1, column));
  EXPECT_EQ(entries(2), (Row{"", "*** TOTALS ***", "=SUM(C2:C1)", "=SUM(D2:D1)", "=SUM(E2:E1)",
                             "=SUM(F2:F1)"}));
  // Each total's range holds the total itself: an error value, not a hang.
  EXPECT_EQ(shown(2), (Row{"", "*** TOTALS ***", "#CIRC!", "#CIRC!", "#CIRC!", "#CIRC!"}));
  EXPECT_EQ(book()->ActiveRow(), 2);
  EXPECT_EQ(book()->ActiveCol(), 6);
  EXPECT_TRUE(traceLog().endsWith(
      "TAG:AddAllToWorksheet1Click(TObject *Sender)\r\nTAG:ClearCreateHeadingsInSS()\r\n"))
      << traceLog().constData();
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(BudgetWorksheetTest, OneLinePerAuctionInWatchListOrderWithTotalsUnderThem) {
  addWatched("220000000101");
  addWatched("220000000102")->SubItems()->SetStrings(siCurrent, "***");
  // A row from a broken record, without a title or a current bid.
  addRow(frmMain->lvShowAll, {"220000000103", "0.00"});
  createPlanSheet();

  EXPECT_EQ(entries(1), headingRow);
  EXPECT_EQ(entries(2),
            (Row{"220000000101", "Title 220000000101", "12.50", "", "", "=SUM(C2:E2)"}));
  EXPECT_EQ(entries(3), (Row{"220000000102", "Title 220000000102", "***", "", "", "=SUM(C3:E3)"}));
  EXPECT_EQ(entries(4), (Row{"220000000103", "", "", "", "", "=SUM(C4:E4)"}));
  EXPECT_EQ(entries(5), (Row{"", "*** TOTALS ***", "=SUM(C2:C4)", "=SUM(D2:D4)", "=SUM(E2:E4)",
                             "=SUM(F2:F4)"}));
  EXPECT_EQ(shown(2), (Row{"220000000101", "Title 220000000101", "12.50", "", "", "12.50"}));
  EXPECT_EQ(shown(3)[2], "***");  // the text stays text and counts nothing
  EXPECT_EQ(shown(3)[5], "0.00");
  EXPECT_EQ(shown(5), (Row{"", "*** TOTALS ***", "12.50", "0.00", "0.00", "12.50"}));
  EXPECT_EQ(book()->ActiveRow(), 5);
  EXPECT_EQ(book()->ActiveCol(), 6);

  // The user's costs go into the totals at once.
  enter(2, 4, "4.50");
  enter(4, 5, "1");
  EXPECT_EQ(shown(5), (Row{"", "*** TOTALS ***", "12.50", "4.50", "1.00", "18.00"}));
}

// Item numbers show whole, and every amount of the plan with two decimals: prices, the costs
// typed beside them, the lines' totals and the totals line. Cells outside the plan keep the
// sheet's general number form.
TEST_F(BudgetWorksheetTest, ItemNumbersShowWholeAndAmountsWithTwoDecimals) {
  addWatched("220000000101");
  addWatched("888888888888")->SubItems()->SetStrings(siCurrent, "1234.5");
  createPlanSheet();
  auto* grid = static_cast<QTableView*>(book()->Widget());
  for (int row : {1, 2, 3}) {
    const QModelIndex item = grid->model()->index(row - 1, 0);
    EXPECT_GE(grid->columnWidth(0), grid->sizeHintForIndex(item).width() + 1) << row;
  }
  enter(2, 4, "4.5");
  enter(3, 5, "0.125");
  enter(10, 3, "7");
  EXPECT_EQ(shown(2), (Row{"220000000101", "Title 220000000101", "12.50", "4.50", "", "17.00"}));
  EXPECT_EQ(shown(3),
            (Row{"888888888888", "Title 888888888888", "1234.50", "", "0.13", "1234.63"}));
  EXPECT_EQ(shown(4), (Row{"", "*** TOTALS ***", "1247.00", "4.50", "0.13", "1251.63"}));
  EXPECT_EQ(book()->TextRC(10, 3).str(), "7");
  EXPECT_EQ(grid->model()->index(1, 2).data().toString().toStdString(), "12.50");
}

TEST_F(BudgetWorksheetTest, RebuildEmptiesTheFirstHundredRowsAndKeepsWhatLiesOutside) {
  addWatched("220000000101");
  addWatched("220000000102");
  addWatched("220000000103");
  addWatched("220000000104");
  createPlanSheet();
  enter(2, 4, "4.50");
  enter(100, 10, "inside");
  enter(101, 1, "below");
  enter(1, 11, "beside");
  frmMain->lvShowAll->Items()->Item(3)->Delete();

  createPlanSheet();
  EXPECT_EQ(entries(2)[3], "");  // the typed shipping cost is gone
  EXPECT_EQ(entries(5)[1], "*** TOTALS ***");
  EXPECT_EQ(entries(6), Row(6));  // the old totals line with it
  EXPECT_EQ(book()->EntryRC(100, 10).str(), "");
  EXPECT_EQ(book()->EntryRC(101, 1).str(), "below");
  EXPECT_EQ(book()->EntryRC(1, 11).str(), "beside");
  EXPECT_EQ(shown(5)[5], "37.50");
}

TEST_F(BudgetWorksheetTest, LongPlanRunsPastRowHundredWithoutAnEarlierPlansCostsOnItsLines) {
  for (int i = 0; i < 120; ++i) addWatched("2200000" + std::to_string(10000 + i));
  // An earlier, longer plan left a shipping cost on row 110; notes lie beside and under the
  // new plan.
  enter(110, 4, "99");
  enter(110, 11, "beside");
  enter(130, 2, "note below");
  createPlanSheet();

  EXPECT_EQ(entries(121),
            (Row{"220000010119", "Title 220000010119", "12.50", "", "", "=SUM(C121:E121)"}));
  EXPECT_EQ(entries(122), (Row{"", "*** TOTALS ***", "=SUM(C2:C121)", "=SUM(D2:D121)",
                               "=SUM(E2:E121)", "=SUM(F2:F121)"}));
  EXPECT_EQ(entries(110)[3], "");
  EXPECT_EQ(shown(122), (Row{"", "*** TOTALS ***", "1500.00", "0.00", "0.00", "1500.00"}));
  EXPECT_EQ(book()->EntryRC(110, 11).str(), "beside");
  EXPECT_EQ(book()->EntryRC(130, 2).str(), "note below");
  EXPECT_EQ(book()->ActiveRow(), 122);
}

}  // namespace
