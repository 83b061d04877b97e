// The hand-over to the refresh agent: a prepared "newgrid.lv" read back through the schedule's
// poll, the refresh requests, and the real agent started by the portal against the practice
// site.
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include "ScheduleFixture.h"
#include "lib/IniFile.h"
#include "scraping/EbayScraper.h"
#include "tools/testing/PracticeSite.h"

namespace {

using Record = std::vector<std::string>;

class RefreshHandOverTest : public ScheduleFixture {
 protected:
  void SetUp() override {
    ScheduleFixture::SetUp();
    now_ = EncodeDate(2026, 12, 10) + EncodeTime(12, 0, 0, 0);
    frmMain->lvGroups->Items()->Clear();
    addRow(frmMain->lvGroups, {"IND", "Bids independently of orher auction results", "1"});
    addRow(frmMain->lvGroups, {"LAMPS", "two of five", "2"});
  }
  // A watched auction in the group, with its end-time entry.
  TListItem* watched(const std::string& item, double endsIn, const std::string& group = "IND") {
    TListItem* row = addRow(frmMain->lvShowAll,
                            {item, "5.00", "Mine " + item, "1.00", "0", "3", "old", "GBP", group});
    addRow(frmMain->lvAllTdate, {item, endIn(endsIn).str(), "1"});
    return row;
  }
  // A "newgrid.lv" record whose title, quantity, snipe amount, currency and group differ from
  // every watch-list row's.
  static Record record(const std::string& item, const std::string& state) {
    return {item, "Theirs", "12.50", "7", "9", state, "99.00", "USD", "OTHER"};
  }
  void writeGrid(const std::vector<Record>& records, int cutLastTo = 9) {
    QByteArray bytes;
    for (std::size_t r = 0; r < records.size(); ++r)
      for (int line = 0; line < (r + 1 == records.size() ? cutLastTo : 9); ++line)
        bytes += QByteArray::fromStdString(records[r][static_cast<std::size_t>(line)]) + "\r\n";
    writeFile(workPath("newgrid.lv"), bytes);
  }
  // Writes "lvshowall.txt" for the agent and starts it, as the countdown does. (The agent's
  // caption is seen by every process of the user: while another suite's agent runs, the
  // portal rightly starts none and writes nothing, so it is asked again.)
  void handOver() {
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(workPath("lvshowall.txt")) && waited.elapsed() < 40000) {
      frmMain->launchGridRefresher();
      if (!QFile::exists(workPath("lvshowall.txt"))) QThread::msleep(100);
    }
    ASSERT_TRUE(frmMain->GetseekingRefreshData());
  }
  // The record the agent writes for a row it keeps as it was: the row as "lvshowall.txt"
  // handed it over, the snipe amount moved to the seventh line.
  Record keptAsHandedOver(const std::string& item) const {
    const QList<QByteArray> lines = readFile(workPath("lvshowall.txt")).split('\n');
    for (qsizetype first = 0; first + 9 <= lines.size(); first += 9) {
      if (lines[first].trimmed().toStdString() != item) continue;
      Record kept;
      for (int line : {0, 2, 3, 4, 5, 6, 1, 7, 8})
        kept.push_back(lines[first + line].trimmed().toStdString());
      return kept;
    }
    ADD_FAILURE() << item << " was not handed over";
    return {};
  }
  // The real agent under its installed name, reading pages from the site, on the real clock.
  void stageAgent(const tarnwick::tools::PracticeSite& site) {
    TIniFile ini("tarnwick.ini");
    ini.WriteString("hosts", "item", site.baseUrl().c_str());
    ini.WriteString("hosts", "bids", site.baseUrl().c_str());
    ASSERT_TRUE(QFile::copy(FRESH_PROGRAM, workPath("rerav.iru")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(FRESH_DIR) + "/dummy.htm", workPath("dummy.htm")));
    SetClock({});
    now_ = Now();
  }
  // Hands the watch list over, waits for the agent's result and applies it through the poll.
  void refreshThroughTheAgent() {
    QElapsedTimer waited;
    waited.start();
    handOver();
    while (!QFile::exists(workPath("newgrid.lv")) && waited.elapsed() < 80000) QThread::msleep(100);
    ASSERT_TRUE(QFile::exists(workPath("newgrid.lv")));
    tick();
  }
  static std::string howMany(const char* group) {
    return cellText(findRowByCaption(frmMain->lvGroups, group), 1).str();
  }
  // A win that an add reads while the agent runs: the row's bid and Ends, and its group
  // "LAMPS" lessened to 1.
  static void winReadByAnAdd(TListItem* row) {
    setCellText(row, siCurrent, "20.00");
    setCellText(row, siBids, "9");
    setCellText(row, siEnds, "WON");
    setCellText(findRowByCaption(frmMain->lvGroups, "LAMPS"), 1, "1");
  }
  // The next refresh reports the same win: it is not counted against "LAMPS" again.
  void expectTheNextReportOfTheWinCountsNothing(const std::string& item) {
    writeGrid({record(item, "WON")});
    frmMain->loadFreshGridData();
    EXPECT_EQ(howMany("LAMPS"), "1");
    EXPECT_FALSE(QFile::exists(workPath("cancLAMPS.TDL")));
    EXPECT_TRUE(boxTexts().empty());
  }
};

TEST_F(RefreshHandOverTest, PollAppliesBidsAndStateWordsAndKeepsTheUsersCells) {
  TListItem* days = watched("101", 2 * 86400 + 3 * 3600);
  TListItem* hours = watched("102", 90 * 60);
  TListItem* minutes = watched("103", 30 * 60 + 15);
  TListItem* lot = watched("104", -600, "LAMPS");
  TListItem* won = watched("105", -600, "LAMPS");
  writeGrid({record("101", "ACTIVE"), record("102", "ACTIVE"), record("103", "ACTIVE"),
             record("104", "ENDED - LOT"), record("105", "WON -2-"),
             record("199", "WON")});  // 199 was deleted while the agent ran
  frmMain->SetseekingRefreshData(true);

  tick();

  EXPECT_EQ(cellsOf(days),
            Record({"101", "5.00", "Mine 101", "12.50", "7", "3", "2 days", "GBP", "IND"}));
  EXPECT_EQ(cellText(hours, siEnds).str(), "1h 30m");
  EXPECT_EQ(cellText(minutes, siEnds).str(),
            ebayScraper.getTimeLeftText(endIn(30 * 60 + 15), 0).str());
  EXPECT_EQ(cellText(lot, siEnds).str(), "ENDED - LOT");
  EXPECT_EQ(cellText(won, siEnds).str(), "WON -2-");
  EXPECT_EQ(howMany("LAMPS"), "1");
  EXPECT_EQ(captionsOf(frmMain->lvShowAll),
            std::vector<std::string>({"101", "102", "103", "104", "105"}));
  EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));
  EXPECT_FALSE(frmMain->GetseekingRefreshData());
  EXPECT_TRUE(boxTexts().empty());
}

// The agent writes a won auction back at every refresh; only the refresh that first reports
// the win lessens the group, so one win never cancels the group's other snipes.
TEST_F(RefreshHandOverTest, AWinLessensItsGroupOnceOverRepeatedRefreshes) {
  watched("201", -600, "LAMPS");
  watched("202", 3600, "LAMPS");
  for (int refresh = 0; refresh < 3; ++refresh) {
    writeGrid({record("201", "WON"), record("202", "ACTIVE")});
    frmMain->loadFreshGridData();
  }
  EXPECT_EQ(howMany("LAMPS"), "1");
  EXPECT_FALSE(QFile::exists(workPath("cancLAMPS.TDL")));
}

// A win is saved as one step: its journal is gone once the count and the row are saved. A start
// that finds the journal (a kill came between the two saves) sets and saves both as it says,
// whichever had been saved, and a later refresh with the same win counts nothing.
TEST_F(RefreshHandOverTest, AWinIsOneStepThatAStartFinishes) {
  watched("201", -600, "LAMPS");
  writeGrid({record("201", "WON")});
  frmMain->loadFreshGridData();
  EXPECT_FALSE(QFile::exists(workPath("win.jnl")));
  EXPECT_TRUE(readFile(workPath("groups.tnq")).endsWith("LAMPS\r\ntwo of five\r\n1\r\n"));
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).contains("\r\nWON\r\nGBP\r\nLAMPS\r\n"));

  // As the kill left it: the count saved, the row not.
  setCellText(findRowByCaption(frmMain->lvShowAll, "201"), siEnds, "old");
  writeFile(workPath("win.jnl"), "201\r\nWON -2-\r\nLAMPS\r\n1\r\n");
  frmMain->formShow2();
  frmCommand->Hide();
  EXPECT_FALSE(QFile::exists(workPath("win.jnl")));
  EXPECT_EQ(howMany("LAMPS"), "1");
  EXPECT_EQ(cellText(findRowByCaption(frmMain->lvShowAll, "201"), siEnds).str(), "WON -2-");
  EXPECT_TRUE(readFile(workPath("groups.tnq")).endsWith("LAMPS\r\ntwo of five\r\n1\r\n"));
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).contains("\r\nWON -2-\r\nGBP\r\nLAMPS\r\n"));
  writeGrid({record("201", "WON")});
  frmMain->loadFreshGridData();
  EXPECT_EQ(howMany("LAMPS"), "1");
  EXPECT_TRUE(boxTexts().empty());
}

// A save of the win that fails (a full disk) leaves the journal, so that a kill before the
// next save costs nothing: the start finishes the win and a later refresh of it counts nothing.
// A journal older than a later change of the group's count leaves the count as it is.
TEST_F(RefreshHandOverTest, AWinWhoseSaveFailedIsFinishedByTheNextStart) {
  TListItem* row = watched("201", -600, "LAMPS");
  ASSERT_TRUE(QDir().mkdir(workPath("lvshowall.txt")));  // the watch list cannot be saved
  writeGrid({record("201", "WON")});
  frmMain->loadFreshGridData();
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0].rfind("Auction list not saved: ", 0), 0u) << boxTexts()[0];
  EXPECT_EQ(readFile(workPath("win.jnl")), "201\r\nWON\r\nLAMPS\r\n1\r\n");

  // As the kill left it: the count saved, the row not.
  ASSERT_TRUE(QDir().rmdir(workPath("lvshowall.txt")));
  setCellText(row, siEnds, "old");
  frmMain->formShow2();
  frmCommand->Hide();
  EXPECT_FALSE(QFile::exists(workPath("win.jnl")));
  EXPECT_EQ(cellText(row, siEnds).str(), "WON");
  writeGrid({record("201", "WON")});
  frmMain->loadFreshGridData();
  EXPECT_EQ(howMany("LAMPS"), "1");

  setCellText(findRowByCaption(frmMain->lvGroups, "LAMPS"), 1, "5");
  frmMain->saveGroupsLV();
  writeFile(workPath("win.jnl"), "201\r\nWON\r\nLAMPS\r\n1\r\n");
  frmMain->formShow2();
  frmCommand->Hide();
  EXPECT_EQ(howMany("LAMPS"), "5");
  EXPECT_FALSE(QFile::exists(workPath("win.jnl")));
}

// A win whose count could not be saved while its row was (the group list's disk briefly full):
// the row reaches the disk won, so the next start takes its journal for an old one. Closing the
// portal saves the count the win lessened, and the next start has both.
TEST_F(RefreshHandOverTest, AWinWhoseCountWasNotSavedIsSavedAtClose) {
  watched("201", -600, "LAMPS");
  writeFile(workPath("groups.tnq"), "IND\r\nalone\r\n1\r\nLAMPS\r\ntwo of five\r\n2\r\n");
  const QByteArray groupsBefore = readFile(workPath("groups.tnq"));
  ASSERT_TRUE(QFile::remove(workPath("groups.tnq")));
  ASSERT_TRUE(QDir().mkdir(workPath("groups.tnq")));  // the group list cannot be saved
  writeGrid({record("201", "WON")});
  frmMain->loadFreshGridData();
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0].rfind("Group list not saved: ", 0), 0u) << boxTexts()[0];
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).contains("\r\nWON\r\nGBP\r\nLAMPS\r\n"));

  // The disk has room again; the buyer closes the portal and starts it again.
  ASSERT_TRUE(QDir().rmdir(workPath("groups.tnq")));
  writeFile(workPath("groups.tnq"), groupsBefore);
  TCloseAction action = caHide;
  frmMain->FormClose(frmMain, action);
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  frmMain->formShow2();
  frmCommand->Hide();
  EXPECT_EQ(howMany("LAMPS"), "1");
  EXPECT_TRUE(readFile(workPath("groups.tnq")).endsWith("LAMPS\r\ntwo of five\r\n1\r\n"));
  EXPECT_FALSE(QFile::exists(workPath("win.jnl")));
}

// A journal from a hand-edited or torn file that names no row of its group not yet won (an item
// not watched, a row of another group, a row already won) or no win sets nothing: the group
// keeps its count, so the refresh that reports the row's real win counts it once.
TEST_F(RefreshHandOverTest, AJournalOfNoRowOfItsGroupNotYetWonSetsNothing) {
  const char* const journals[] = {
      "999\r\nWON\r\nLAMPS\r\n1\r\n",
      "202\r\nWON\r\nLAMPS\r\n1\r\n",
      "203\r\nWON\r\nLAMPS\r\n1\r\n",
      "201\r\nLOST\r\nLAMPS\r\n1\r\n",
  };
  for (const char* journal : journals) {
    SCOPED_TRACE(journal);
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    for (const char* file : {"groups.tnq", "lvAllTdate.txt", "lvshowall.txt"})
      QFile::remove(workPath(file));
    setCellText(findRowByCaption(frmMain->lvGroups, "LAMPS"), 1, "2");
    TListItem* live = watched("201", 600, "LAMPS");
    TListItem* other = watched("202", 600, "IND");
    TListItem* won = watched("203", -600, "LAMPS");
    setCellText(won, siEnds, "WON");
    const std::vector<Record> before{cellsOf(live), cellsOf(other), cellsOf(won)};
    writeFile(workPath("win.jnl"), journal);
    frmMain->formShow2();
    frmCommand->Hide();
    EXPECT_EQ(howMany("LAMPS"), "2");
    EXPECT_EQ((std::vector<Record>{cellsOf(live), cellsOf(other), cellsOf(won)}), before);
    EXPECT_FALSE(QFile::exists(workPath("win.jnl")));
    writeGrid({record("201", "WON")});
    frmMain->loadFreshGridData();
    EXPECT_EQ(howMany("LAMPS"), "1");
  }
  EXPECT_TRUE(boxTexts().empty());
}

// A row that the agent keeps as it was (its page did not come, or could not be used) comes
// back as the portal handed it over. Such a record tells nothing new, so it undoes nothing
// that the portal has learnt since: here a win and its bid, read by an add while the agent
// ran, which the next refresh's report of the same win does not count again. The other rows
// are applied.
TEST_F(RefreshHandOverTest, ARowKeptAsItWasUndoesNothingLearntWhileTheAgentRan) {
  TListItem* won = watched("601", -600, "LAMPS");
  TListItem* live = watched("602", 2 * 86400 + 60);
  TListItem* lost = watched("603", -600);
  handOver();
  // Learnt while the agent ran: 601 won (its group's count lessened), 603 lost.
  winReadByAnAdd(won);
  setCellText(lost, siEnds, "LOST");
  writeGrid({keptAsHandedOver("601"), record("602", "ACTIVE"), keptAsHandedOver("603")});
  tick();
  EXPECT_EQ(cellsOf(won),
            Record({"601", "5.00", "Mine 601", "20.00", "9", "3", "WON", "GBP", "LAMPS"}));
  EXPECT_EQ(cellText(lost, siEnds).str(), "LOST");
  EXPECT_EQ(cellsOf(live),
            Record({"602", "5.00", "Mine 602", "12.50", "7", "3", "2 days", "GBP", "IND"}));
  EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));

  expectTheNextReportOfTheWinCountsNothing("601");
}

// The agent read an auction while it still ran; an add then read it won. The agent's record
// comes later but tells of an older page: the row stays won with the add's bid, and the next
// refresh's report of the win does not count it against its group again.
TEST_F(RefreshHandOverTest, AWinReadWhileTheAgentRanIsNotUndoneByItsOlderRead) {
  TListItem* won = watched("701", 600, "LAMPS");
  handOver();
  winReadByAnAdd(won);
  writeGrid({record("701", "ACTIVE")});
  tick();
  EXPECT_EQ(cellsOf(won),
            Record({"701", "5.00", "Mine 701", "20.00", "9", "3", "WON", "GBP", "LAMPS"}));
  expectTheNextReportOfTheWinCountsNothing("701");
}

// The same for an end that is not a win: the agent read the auction live, an add then read it
// lost (or a multi-quantity one ended): its older record does not take the row back to a time
// left. A record that reports the end of an ended multi-quantity auction is still applied.
TEST_F(RefreshHandOverTest, AnEndReadWhileTheAgentRanIsNotUndoneByItsOlderRead) {
  for (const char* readByAnAdd : {"LOST", "ENDED - LOT"}) {
    SCOPED_TRACE(readByAnAdd);
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    QFile::remove(workPath("lvshowall.txt"));
    TListItem* ended = watched("801", 600);
    handOver();
    setCellText(ended, siCurrent, "20.00");
    setCellText(ended, siEnds, readByAnAdd);
    writeGrid({record("801", "ACTIVE")});
    tick();
    EXPECT_EQ(cellsOf(ended),
              Record({"801", "5.00", "Mine 801", "20.00", "0", "3", readByAnAdd, "GBP", "IND"}));
  }
  writeGrid({record("801", "WON -2-")});
  frmMain->loadFreshGridData();
  EXPECT_EQ(cellText(findRowByCaption(frmMain->lvShowAll, "801"), siEnds).str(), "WON -2-");
  EXPECT_TRUE(boxTexts().empty());
}

TEST_F(RefreshHandOverTest, EmptyOrShortResultAppliesNothingAndEndsTheWait) {
  TListItem* row = watched("301", 3600);
  for (const QByteArray& bytes : {QByteArray(), QByteArray("301\r\nx\r\n9.99\r\n4\r\n1\r\n")}) {
    writeFile(workPath("newgrid.lv"), bytes);
    frmMain->SetseekingRefreshData(true);
    tick();
    EXPECT_EQ(cellText(row, siCurrent).str(), "1.00");
    EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));
    EXPECT_FALSE(frmMain->GetseekingRefreshData());
  }
  EXPECT_TRUE(boxTexts().empty());
}

// A record cut short warns and changes nothing of its row; the records before it are applied.
TEST_F(RefreshHandOverTest, CutRecordWarnsAndTheRestIsStillApplied) {
  TListItem* whole = watched("401", 3600);
  TListItem* cut = watched("402", 3600);
  writeGrid({record("401", "LOST"), record("402", "WON")}, 5);
  frmMain->loadFreshGridData();
  EXPECT_EQ(cellText(whole, siEnds).str(), "LOST");
  EXPECT_EQ(cellsOf(cut),
            Record({"402", "5.00", "Mine 402", "1.00", "0", "3", "old", "GBP", "IND"}));
  ASSERT_EQ(boxTexts(),
            std::vector<std::string>({"Possible error loading data from last session.  Click OK to "
                                      "continue."}));
  EXPECT_EQ(boxes_.front().type, mtWarning);
}

TEST_F(RefreshHandOverTest, RefreshRequestsRunTheCountdownOutOnlyWhileItRuns) {
  watched("501", 3600);
  frmMain->btnRefreshNow->Click();
  EXPECT_EQ(boxTexts(), std::vector<std::string>({"Refresh process queued."}));
  tick();  // the countdown is not running: nothing starts
  EXPECT_FALSE(frmMain->GetseekingRefreshData());
  EXPECT_FALSE(QFile::exists(workPath("lvshowall.txt")));

  frmMain->SetdoRefreshLVShowAll(true);
  frmMain->Refresh1->Click();
  tick();  // the countdown has run out (whether an agent of another suite runs or not)
  EXPECT_TRUE(frmMain->GetseekingRefreshData());
  EXPECT_EQ(boxTexts().size(), 1U);
}

// The portal starts the real agent under its installed name; the agent refreshes the list
// from the practice site and the next poll reads its result back.
TEST_F(RefreshHandOverTest, PortalStartsTheAgentAndReadsItsResultBack) {
  tarnwick::tools::PracticeSite site;
  ASSERT_NO_FATAL_FAILURE(stageAgent(site));
  TListItem* row = watched("220000000101", 2 * 86400 + 60, "LAMPS");
  ASSERT_NO_FATAL_FAILURE(refreshThroughTheAgent());

  EXPECT_EQ(cellText(row, siCurrent).str(), "12.50");
  EXPECT_EQ(cellText(row, siBids).str(), "7");
  EXPECT_EQ(cellText(row, siEnds).str(), "2 days");
  EXPECT_EQ(cellText(row, siSnipeAmount).str(), "5.00");
  EXPECT_EQ(cellText(row, siGroup).str(), "LAMPS");
  EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));
  EXPECT_FALSE(frmMain->GetseekingRefreshData());
}

// An auction whose end has passed while its page still shows it live (the agent reads it
// "ACTIVE") shows no time to go, however long ago it ended: not the minutes that the end's
// last hour would wrap to, nor hours or days.
TEST_F(RefreshHandOverTest, ALiveAuctionWhoseEndHasPassedShowsNoTimeToGo) {
  tarnwick::tools::PracticeSite site;
  ASSERT_NO_FATAL_FAILURE(stageAgent(site));
  const std::pair<const char*, int> endedAgo[] = {
      {"220000000101", 100}, {"220000000102", 3 * 3600}, {"220000000103", 2 * 86400}};
  std::vector<TListItem*> rows;
  for (const auto& [item, seconds] : endedAgo) {
    site.control(std::string("item=") + item + "&state=live&ends_in=-" + std::to_string(seconds));
    rows.push_back(watched(item, -seconds));
  }
  ASSERT_NO_FATAL_FAILURE(refreshThroughTheAgent());
  for (const TListItem* row : rows)
    EXPECT_EQ(cellText(row, siEnds).str(), "00m 00s") << row->Caption().str();
}

}  // namespace
