// "lvshowall.txt" and "lvAllTdate.txt": writing, reading with broken records, the Save
// button and the removal of saved page files.
#include <signal.h>
#include <sys/resource.h>

#include "MainWindowFixture.h"

namespace {

class WatchListTest : public MainWindowFixture {};

using Cells = std::vector<std::string>;

QByteArray crlfLines(int count) {
  QByteArray bytes;
  for (int i = 0; i < count; ++i) bytes += "line" + QByteArray::number(i) + "\r\n";
  return bytes;
}

TEST_F(WatchListTest, WatchListRoundTripsThroughItsFileInListOrder) {
  addWatched("220000000101");
  addWatched("220000000102", "WON -2-");
  frmCommand->btnSaveLVShowAllClick(frmCommand);
  EXPECT_EQ(readFile(workPath("lvshowall.txt")),
            "220000000101\r\n0.00\r\nTitle 220000000101\r\n12.50\r\n7\r\n1\r\n2 days\r\nUSD\r\n"
            "IND\r\n220000000102\r\n0.00\r\nTitle 220000000102\r\n12.50\r\n7\r\n1\r\nWON "
            "-2-\r\nUSD\r\nIND\r\n");

  frmMain->lvShowAll->Items()->Clear();
  addWatched("stale");
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  ASSERT_EQ(frmMain->lvShowAll->Items()->Count(), 2);
  EXPECT_EQ(cellsOf(frmMain->lvShowAll->Items()->Item(1)),
            (Cells{"220000000102", "0.00", "Title 220000000102", "12.50", "7", "1", "WON -2-",
                   "USD", "IND"}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(WatchListTest, SavingAnEmptyWatchListKeepsTheOldFileAndSaveStillConfirms) {
  writeFile(workPath("lvshowall.txt"), "old\r\n");
  frmMain->BitBtn1Click(frmMain->BitBtn1);
  EXPECT_EQ(readFile(workPath("lvshowall.txt")), "old\r\n");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.str(), "Auction list saved as lvShowall.txt");
  EXPECT_EQ(boxes_[0].type, mtInformation);
}

TEST_F(WatchListTest, SaveThatCannotWriteIsReportedAndKeepsTheList) {
  addWatched("220000000101");
  QDir().mkpath(workPath("lvshowall.txt"));  // a folder in the file's place
  frmMain->BitBtn1Click(frmMain->BitBtn1);
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0].rfind("Auction list not saved: ", 0), 0u) << boxTexts()[0];
  EXPECT_NE(boxTexts()[0].find("lvshowall.txt: Is a directory"), std::string::npos);
  EXPECT_EQ(boxes_[0].type, mtError);
  EXPECT_EQ(captionsOf(frmMain->lvShowAll), Cells{"220000000101"});
}

// A disk that fills up while the list is written (a file size limit stands in for it): the
// Save button reports the failure, and the last saved list is still whole on the disk.
TEST_F(WatchListTest, SaveOnAFullDiskIsReportedAndTheOldFileStaysWhole) {
  for (int i = 0; i < 500; ++i) addWatched(std::to_string(220000000000 + i));
  frmMain->BitBtn1Click(frmMain->BitBtn1);
  const QByteArray saved = readFile(workPath("lvshowall.txt"));
  for (int i = 500; i < 900; ++i) addWatched(std::to_string(220000000000 + i));
  boxes_.clear();

  const auto previousSignal = signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit full = previous;
  full.rlim_cur = static_cast<rlim_t>(saved.size()) + 1000;
  setrlimit(RLIMIT_FSIZE, &full);
  frmMain->BitBtn1Click(frmMain->BitBtn1);
  setrlimit(RLIMIT_FSIZE, &previous);
  signal(SIGXFSZ, previousSignal);

  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0].rfind("Auction list not saved: ", 0), 0u) << boxTexts()[0];
  EXPECT_EQ(readFile(workPath("lvshowall.txt")), saved);
  EXPECT_EQ(QDir(work_).entryList(QStringList{"*lvshowall*"}, QDir::Files | QDir::Hidden),
            QStringList{"lvshowall.txt"});
}

TEST_F(WatchListTest, SaveButtonWritesTheWatchList) {
  addWatched("220000000101");
  frmMain->BitBtn1->Click();
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).startsWith("220000000101\r\n0.00\r\n"));
  EXPECT_EQ(boxTexts(), Cells{"Auction list saved as lvShowall.txt"});
}

// Line counts of "lvshowall.txt": below 6 nothing happens; a cut record gives a completed row
// and the warning; whole records give whole rows.
TEST_F(WatchListTest, WatchListFileOfFiveToEighteenLines) {
  const std::string warning =
      "Possible error loading data from last session.  Click OK to continue.";
  struct Case {
    int lines;
    int rows;
    bool warned;
  };
  for (const Case& c : {Case{5, 1, false}, Case{6, 1, true}, Case{8, 1, true}, Case{9, 1, false},
                        Case{10, 2, true}, Case{18, 2, false}}) {
    SCOPED_TRACE(c.lines);
    frmMain->lvShowAll->Items()->Clear();
    boxes_.clear();
    addWatched("kept");
    writeFile(workPath("lvshowall.txt"), crlfLines(c.lines));
    frmCommand->btnLoadLVShowAllClick(frmCommand);
    ASSERT_EQ(frmMain->lvShowAll->Items()->Count(), c.rows);
    if (c.lines < 6) {
      EXPECT_EQ(frmMain->lvShowAll->Items()->Item(0)->Caption().str(), "kept");
      continue;
    }
    EXPECT_EQ(boxTexts(), c.warned ? Cells{warning} : Cells{});
    if (c.warned) {
      EXPECT_EQ(boxes_[0].type, mtWarning);
    }
    TListItem* last = frmMain->lvShowAll->Items()->Item(c.rows - 1);
    EXPECT_EQ(last->SubItems()->Count(), watchListSubItems);
  }
}

TEST_F(WatchListTest, RowFromBrokenRecordIsCompletedSoLaterStepsWork) {
  writeFile(workPath("lvshowall.txt"), "123\r\n5.00\r\nLamp\r\n3.20\r\n2\r\n1\r\n");
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  ASSERT_EQ(frmMain->lvShowAll->Items()->Count(), 1);
  TListItem* row = frmMain->lvShowAll->Items()->Item(0);
  EXPECT_EQ(cellsOf(row), (Cells{"123", "5.00", "Lamp", "3.20", "2", "1", "", "", ""}));
  frmMain->DeleteEnded1Click(nullptr);
  frmMain->lvShowAll->SetSelected(row);
  frmMain->Setsnipeamounttozero1Click(nullptr);
  frmCommand->btnSaveLVShowAllClick(frmCommand);
  EXPECT_EQ(readFile(workPath("lvshowall.txt")),
            "123\r\n0.00\r\nLamp\r\n3.20\r\n2\r\n1\r\n\r\n\r\n\r\n");
}

TEST_F(WatchListTest, MissingOrUnreadableFilesLeaveTheListsSilently) {
  addWatched("kept");
  addRow(frmMain->lvAllTdate, {"kept", "12/08/26 21:05:00", "1"});
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  frmMain->loadlvAllTdateGrid();
  QDir().mkpath(workPath("lvshowall.txt"));  // a folder cannot be loaded
  QDir().mkpath(workPath("lvAllTdate.txt"));
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  frmMain->loadlvAllTdateGrid();
  EXPECT_EQ(captionsOf(frmMain->lvShowAll), Cells{"kept"});
  EXPECT_EQ(captionsOf(frmMain->lvAllTdate), Cells{"kept"});
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(WatchListTest, EndTimeListRoundTripsAndIsNotWrittenWhenEmpty) {
  frmMain->savelvAllTDateToText();
  EXPECT_FALSE(QFile::exists(workPath("lvAllTdate.txt")));
  addRow(frmMain->lvAllTdate, {"101", "12/08/26 21:05:00", "1"});
  addRow(frmMain->lvAllTdate, {"102", "12/09/26 06:00:00", "0"});
  frmMain->savelvAllTDateToText();
  EXPECT_EQ(readFile(workPath("lvAllTdate.txt")),
            "101\r\n12/08/26 21:05:00\r\n1\r\n102\r\n12/09/26 06:00:00\r\n0\r\n");
  frmMain->lvAllTdate->Items()->Clear();
  frmMain->loadlvAllTdateGrid();
  ASSERT_EQ(frmMain->lvAllTdate->Items()->Count(), 2);
  EXPECT_EQ(cellsOf(frmMain->lvAllTdate->Items()->Item(1)),
            (Cells{"102", "12/09/26 06:00:00", "0"}));
}

TEST_F(WatchListTest, EndTimeFileOfSevenLinesGivesTwoEntries) {
  writeFile(workPath("lvAllTdate.txt"), crlfLines(7));
  frmMain->loadlvAllTdateGrid();
  EXPECT_EQ(captionsOf(frmMain->lvAllTdate), (Cells{"line0", "line3"}));
  EXPECT_TRUE(boxes_.empty());

  addRow(frmMain->lvAllTdate, {"kept", "x", "1"});
  writeFile(workPath("lvAllTdate.txt"), crlfLines(2));
  frmMain->loadlvAllTdateGrid();
  EXPECT_EQ(frmMain->lvAllTdate->Items()->Count(), 3);
}

TEST_F(WatchListTest, OnlyLowerCaseTnwPageFilesAreDeleted) {
  for (const char* name : {"123.tnw", "456.tnw", "123.TNW", "123.tnw.bak", "lvshowall.txt"})
    writeFile(workPath(name), "x");
  frmMain->deleteTNWFiles();
  writeFile(workPath("789.tnw"), "x");
  frmCommand->btnTarnClick(frmCommand);
  EXPECT_EQ(
      QDir(work_).entryList({"123*", "456*", "789*", "lvshowall.txt"}, QDir::Files, QDir::Name),
      (QStringList{"123.TNW", "123.tnw.bak", "lvshowall.txt"}));
}

TEST_F(WatchListTest, ImmediateRefreshRequestRaisesTheFlagWithADeadlineInThePast) {
  frmMain->SetdoRefreshLVShowAll(false);
  frmMain->rebuildLVAllTdate();
  EXPECT_TRUE(frmMain->GetdoRefreshLVShowAll());
}

}  // namespace
