// The popup menu's row edits on the selected watch-list row: input boxes with OK and Cancel,
// the numeric test, the deletions and the system browser.
#include <cstdlib>
#include <functional>
#include <utility>

#include <QThread>
#include "MainWindowFixture.h"

#include "lib/IniFile.h"
#include "tools/testing/PracticeSite.h"

namespace {

using Cells = std::vector<std::string>;

class RowEditsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    row_ = addWatched("220000000101");
    row_->SubItems()->SetStrings(siSnipeAmount, "25.00");
    row_->SubItems()->SetStrings(siQuantity, "3");
    frmMain->lvShowAll->SetSelected(row_);
  }
  std::string cell(int subItem) const { return row_->SubItems()->Strings(subItem).str(); }
  TListItem* row_ = nullptr;
};

TEST_F(RowEditsTest, SnipeAmountBoxStoresANumericTextAsTyped) {
  answerInput("007.50");
  frmMain->EditSnipeAmount1->Click();
  EXPECT_EQ(cell(siSnipeAmount), "007.50");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].kind, DialogKind::Input);
  EXPECT_EQ(boxes_[0].caption.str(), "Changing Snipe Amount");
  EXPECT_EQ(boxes_[0].text.str(), "Enter amount without commas or dollar sign:");
  EXPECT_EQ(boxes_[0].defaultValue.str(), "0.00");
}

TEST_F(RowEditsTest, QuantityBoxStoresANumericTextAsTyped) {
  answerInput("2");
  frmMain->EnterQuanityToBidOn1->Click();
  EXPECT_EQ(cell(siQuantity), "2");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption.str(), "Changing Bid Quantity");
  EXPECT_EQ(boxes_[0].text.str(), "Enter amount without commas:");
  EXPECT_EQ(boxes_[0].defaultValue.str(), "0");
}

// Cancel keeps the row: neither the snipe amount is wiped nor a quantity of 0 stored.
TEST_F(RowEditsTest, CancelInEitherBoxChangesNothing) {
  answerCancel();
  frmMain->EditSnipeAmount1Click(nullptr);
  answerCancel();
  frmMain->EnterQuanityToBidOn1Click(nullptr);
  EXPECT_EQ(cell(siSnipeAmount), "25.00");
  EXPECT_EQ(cell(siQuantity), "3");
  EXPECT_EQ(boxes_.size(), 2u);
}

// A snipe amount is a plain decimal: digits with at most one point. A quantity is a whole
// number of at least one, a plus sign before it left out. Anything else gets the box's own
// error and changes nothing; a number that is no quantity is told what a quantity must be.
TEST_F(RowEditsTest, TextsThatAreNoAmountOrQuantityAreRefusedWithTheirErrors) {
  struct Case {
    const char* typed;
    bool amount;
    bool quantity;
    bool number = true;            // refused as a quantity: told what is wanted, not "not numeric"
    const char* stored = nullptr;  // the quantity stored, when it is not the text typed
  };
  // The last two would reach the sniper with an exponent.
  const Case cases[] = {
      {"", false, false, false},
      {"$25", false, false, false},
      {"1,000", false, false, false},
      {"-1", false, false},
      {"1.2.3", false, false, false},
      {".", false, false, false},
      {"1e3", false, false, false},
      {" 5", false, false, false},
      {"-", false, false, false},
      {"+3", false, true, true, "3"},
      {"+007", false, true, true, "007"},
      {"+0", false, false},
      {"+2.5", false, false},
      {"+99999999999", false, false},
      {"+", false, false, false},
      {"++3", false, false, false},
      {"+-3", false, false, false},
      {"0", true, false},
      {"1.5", true, false},
      {".5", true, false},
      {"25.", true, false},
      {"-2.5", false, false},
      {"007", true, true},
      {"12", true, true},
      {"99999999999", true, false},
      {"1000000000000000", false, false},
      {"0.00001", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    row_->SubItems()->SetStrings(siSnipeAmount, "25.00");
    row_->SubItems()->SetStrings(siQuantity, "3");
    boxes_.clear();
    answerInput(c.typed);
    frmMain->EditSnipeAmount1Click(nullptr);
    answerInput(c.typed);
    frmMain->EnterQuanityToBidOn1Click(nullptr);
    EXPECT_EQ(cell(siSnipeAmount), c.amount ? c.typed : "25.00");
    EXPECT_EQ(cell(siQuantity), c.quantity ? (c.stored ? c.stored : c.typed) : "3");
    std::vector<std::string> errors;
    for (const DialogRequest& box : boxes_)
      if (box.kind != DialogKind::Input) {
        errors.push_back(box.text.str());
        EXPECT_EQ(box.type, mtError);
      }
    std::vector<std::string> expected;
    if (!c.amount) expected.push_back("Snipe amount not numeric.");
    if (!c.quantity)
      expected.push_back(c.number ? "Quantity must be a whole number from 1 to 2147483647."
                                  : "Amount not numeric.");
    EXPECT_EQ(errors, expected);
  }
}

TEST_F(RowEditsTest, SetSnipeAmountToZero) {
  frmMain->Setsnipeamounttozero1->Click();
  EXPECT_EQ(cell(siSnipeAmount), "0.00");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(RowEditsTest, EveryRowEditWithoutSelectionGivesItsError) {
  frmMain->lvShowAll->SetSelected(nullptr);
  frmMain->EditSnipeAmount1Click(nullptr);
  frmMain->Setsnipeamounttozero1Click(nullptr);
  frmMain->EnterQuanityToBidOn1Click(nullptr);
  frmMain->Delete1Click(nullptr);
  frmMain->ViewInSystemBrowser1Click(nullptr);
  EXPECT_EQ(boxTexts(),
            (Cells{"Highlight an auction item.", "Highlight an auction item.", "No item selected.",
                   "Highlight an auction item.", "No item selected."}));
  for (const DialogRequest& box : boxes_) EXPECT_EQ(box.type, mtError);
  EXPECT_EQ(cellsOf(row_)[1], "25.00");
  EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 1);
}

TEST_F(RowEditsTest, DeleteRemovesRowAndEntryAndTheFilesWithTheLastRow) {
  TListItem* other = addWatched("220000000102");
  addRow(frmMain->lvAllTdate, {"220000000101", "12/08/26 21:05:00", "1"});
  addRow(frmMain->lvAllTdate, {"220000000102", "12/08/26 21:05:00", "1"});
  writeFile(workPath("lvshowall.txt"), "old\r\n");
  writeFile(workPath("lvAllTdate.txt"), "old\r\n");

  frmMain->Delete1->Click();
  EXPECT_EQ(captionsOf(frmMain->lvShowAll), Cells{"220000000102"});
  EXPECT_EQ(captionsOf(frmMain->lvAllTdate), Cells{"220000000102"});
  EXPECT_TRUE(QFile::exists(workPath("lvshowall.txt")));

  frmMain->lvShowAll->SetSelected(other);
  frmMain->Delete1Click(nullptr);
  EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 0);
  EXPECT_FALSE(QFile::exists(workPath("lvshowall.txt")));
  EXPECT_FALSE(QFile::exists(workPath("lvAllTdate.txt")));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(RowEditsTest, DeleteAllClearsBothListsAndDeletesBothFiles) {
  addRow(frmMain->lvAllTdate, {"220000000101", "12/08/26 21:05:00", "1"});
  writeFile(workPath("lvshowall.txt"), "old\r\n");
  writeFile(workPath("lvAllTdate.txt"), "old\r\n");
  frmMain->DeleteAll1->Click();
  frmMain->DeleteAll1Click(nullptr);  // files already gone: still no failure
  EXPECT_EQ(frmMain->lvShowAll->Items()->Count(), 0);
  EXPECT_EQ(frmMain->lvAllTdate->Items()->Count(), 0);
  EXPECT_FALSE(QFile::exists(workPath("lvshowall.txt")));
  EXPECT_FALSE(QFile::exists(workPath("lvAllTdate.txt")));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(RowEditsTest, DeleteEndedRemovesWonLostAndEndedRowsOnly) {
  frmMain->lvShowAll->Items()->Clear();
  addWatched("1", "WON -1-");
  addWatched("2", "LOST");
  addWatched("3", "ENDED - NOTLOT");
  addWatched("4", "ACTIVE");
  addWatched("5", "2 days");
  addWatched("6", "won");
  addRow(frmMain->lvAllTdate, {"1", "12/08/26 21:05:00", "1"});
  frmMain->DeleteEnded1->Click();
  EXPECT_EQ(captionsOf(frmMain->lvShowAll), (Cells{"4", "5", "6"}));
  EXPECT_EQ(captionsOf(frmMain->lvAllTdate), Cells{"1"});
}

// Every change of the watch list is saved at once, whole: a kill right after it loses nothing.
// An emptied list leaves no file, so a restart does not bring the deleted auctions back.
TEST_F(RowEditsTest, EveryChangeOfTheWatchListIsSavedAtOnce) {
  TListItem* second = addWatched("220000000102");
  addWatched("220000000103", "LOST");
  addRow(frmMain->lvAllTdate, {"220000000101", "12/08/26 21:05:00", "1"});
  addRow(frmMain->lvAllTdate, {"220000000102", "12/08/26 21:05:00", "1"});
  frmMain->comGroup->Items()->Clear();
  frmMain->comGroup->Items()->Add("IND");
  frmMain->comGroup->Items()->Add("PAIR");
  const auto saved = [this] { return readFile(workPath("lvshowall.txt")).toStdString(); };
  const auto listed = [] {
    std::string lines;
    for (int i = 0; i < frmMain->lvShowAll->Items()->Count(); ++i)
      for (const std::string& cell : cellsOf(frmMain->lvShowAll->Items()->Item(i)))
        lines += cell + "\r\n";
    return lines;
  };
  const std::vector<std::pair<std::string, std::function<void()>>> changes = {
      {"snipe amount",
       [&] {
         answerInput("7.50");
         frmMain->EditSnipeAmount1->Click();
       }},
      {"quantity",
       [&] {
         answerInput("2");
         frmMain->EnterQuanityToBidOn1->Click();
       }},
      {"group",
       [&] {
         frmMain->comGroup->SetText("PAIR");
         frmMain->comGroupChange(frmMain->comGroup);
       }},
      {"snipe amount to zero", [&] { frmMain->Setsnipeamounttozero1->Click(); }},
      {"delete ended", [&] { frmMain->DeleteEnded1->Click(); }},
      {"delete",
       [&] {
         frmMain->lvShowAll->SetSelected(second);
         frmMain->Delete1->Click();
       }},
  };
  for (const auto& [change, run] : changes) {
    const std::string before = listed();
    run();
    EXPECT_NE(listed(), before) << change;
    EXPECT_EQ(saved(), listed()) << change;
  }
  EXPECT_EQ(saved(),
            "220000000101\r\n0.00\r\nTitle 220000000101\r\n12.50\r\n7\r\n2\r\n2 days\r\nUSD\r\n"
            "PAIR\r\n");
  // The deleted auction's end-time entry is gone from its file too.
  EXPECT_EQ(readFile(workPath("lvAllTdate.txt")).toStdString(),
            "220000000101\r\n12/08/26 21:05:00\r\n1\r\n");

  setCellText(frmMain->lvShowAll->Items()->Item(0), siEnds, "WON");
  frmMain->DeleteEnded1->Click();
  EXPECT_FALSE(QFile::exists(workPath("lvshowall.txt")));
  EXPECT_FALSE(QFile::exists(workPath("lvAllTdate.txt")));
  EXPECT_TRUE(boxTexts().size() == 2u) << boxTexts().size();  // the two input boxes
}

TEST_F(RowEditsTest, ViewInSystemBrowserOpensTheConfiguredItemPage) {
  TIniFile("tarnwick.ini").WriteString("hosts", "item", "http://127.0.0.1:9");
  const QString log = workPath("opener.log");
  setenv("TARNWICK_OPENER", tarnwick::tools::fakeOpener().c_str(), 1);
  setenv("TARNWICK_OPENER_LOG", log.toLocal8Bit().constData(), 1);
  frmMain->ViewInSystemBrowser1->Click();
  QByteArray logged;
  for (int i = 0; i < 100 && !logged.contains('\n'); ++i) {
    Application->ProcessMessages();
    QThread::msleep(20);
    logged = readFile(log);
  }
  unsetenv("TARNWICK_OPENER");
  EXPECT_TRUE(logged.contains("\thttp://127.0.0.1:9/ws/eBayISAPI.dll?ViewItem&item=220000000101"))
      << logged.constData();
}

}  // namespace
