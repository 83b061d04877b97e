// The 5-second schedule: the tick is called directly while a test clock stands in for the
// local time, so every deadline is passed by moving the clock, never by waiting. The work
// that other parts of the portal own is seen through its trace lines.
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <functional>

#include "ScheduleFixture.h"
#include "lib/IniFile.h"
#include "tools/testing/PracticeSite.h"

namespace {

class ScheduleTest : public ScheduleFixture {
 protected:
  void SetUp() override {
    ScheduleFixture::SetUp();
    // The official-time host is a port with nothing listening: retries go nowhere.
    TIniFile("tarnwick.ini").WriteString("hosts", "time", "http://127.0.0.1:1");
    frmMain->edtRefreshInterval->SetText("300");
    frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
    frmMain->lblNextRefresh->SetCaption("");
    frmMain->pnlPleaseWait->SetCaption("");
    markLog();
  }
  void TearDown() override {
    frmMain->cbSyncPeriodically->SetChecked(false);
    ScheduleFixture::TearDown();
  }
  void advance(int seconds) { now_ = now_ + seconds * OneSecond; }
};

constexpr const char* dispatchCheck = "TAG:checkDispatchLauncher()";
constexpr const char* agentPoll = "TAG:loadFreshGridData()";
constexpr const char* agentStart = "TAG:launchGridRefresher()";
constexpr const char* totals = "TAG:TfrmMain::calcTotals()";

// First in this program, since the request is made once per run: the first totals pass that
// meets an auction without an end-time entry asks for a refresh run at once; later ones do not.
TEST_F(ScheduleTest, TotalsAskOncePerRunForARefreshWhenAnAuctionLacksItsEndTime) {
  addWatched("220000000101");
  // Before the first clock offset (the first show's totals) nothing is asked for.
  frmMain->calcTotals();
  EXPECT_FALSE(frmMain->GetdoRefreshLVShowAll());
  tick();
  EXPECT_EQ(calls(takeLog(), agentStart), 0);
  frmMain->SetcurrBroOffsetAction(11);
  frmMain->calcTotals();
  EXPECT_TRUE(frmMain->GetdoRefreshLVShowAll());
  tick();
  EXPECT_EQ(calls(takeLog(), agentStart), 1);
  frmMain->SetdoRefreshLVShowAll(false);
  frmMain->calcTotals();
  EXPECT_FALSE(frmMain->GetdoRefreshLVShowAll());
}

// An end-time entry whose end text does not convert (a state word) is still an entry: the
// totals ask for no refresh run for it.
TEST_F(ScheduleTest, TotalsAskNoRefreshForAnEntryWhoseEndIsAStateWord) {
  const bool before = canRebuildLVAllTdate;
  canRebuildLVAllTdate = true;
  frmMain->SetcurrBroOffsetAction(11);
  addWatched("220000000101", "ENDED");
  addRow(frmMain->lvAllTdate, {"220000000101", "ENDED", "0"});
  frmMain->calcTotals();
  EXPECT_FALSE(frmMain->GetdoRefreshLVShowAll());
  EXPECT_TRUE(canRebuildLVAllTdate);
  canRebuildLVAllTdate = before;
}

TEST_F(ScheduleTest, WithEveryFlagLoweredATickOnlyLogs) {
  addWatched("220000000101");
  advance(7200);
  tick();
  const QStringList log = takeLog();
  ASSERT_FALSE(log.isEmpty());
  EXPECT_EQ(log.first(), "TAG:tmrDynaTimerTimer(TObject *Sender)");
  // Nothing but the tick's own line and its reads of the flags.
  for (qsizetype i = 1; i < log.size(); ++i)
    EXPECT_TRUE(log[i].startsWith("TAG:") && log[i].contains("Get")) << log[i].toStdString();
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "");
  EXPECT_FALSE(frmMain->GetseekingRefreshData());
}

// A raise keeps a pending deadline; each check that falls due re-arms the next one 4 minutes on.
TEST_F(ScheduleTest, DispatchCheckRunsEveryFourMinutesFromTheFirstRaise) {
  frmMain->SetdoDispatchLaunchCheck(true);
  advance(180);
  frmMain->SetdoDispatchLaunchCheck(true);
  tick();
  EXPECT_EQ(calls(takeLog(), dispatchCheck), 0);
  advance(61);
  tick();
  EXPECT_EQ(calls(takeLog(), dispatchCheck), 1);
  tick();
  EXPECT_EQ(calls(takeLog(), dispatchCheck), 0);
  advance(241);
  tick();
  EXPECT_EQ(calls(takeLog(), dispatchCheck), 1);
}

// A clock set back three hours holds no work back for those hours: each deadline comes at most
// its own period on. One set forward runs each work once, then keeps the usual pace.
TEST_F(ScheduleTest, ClockSetBackOrForwardKeepsEveryWorkAtItsPace) {
  addWatched("220000000101");
  addRow(frmMain->lvAllTdate, {"220000000101", endIn(2 * 86400).str(), "1"});
  frmMain->SetdoRecalc(true);
  frmMain->SetdoDispatchLaunchCheck(true);
  frmMain->SetdoRefreshLVShowAll(true);
  frmMain->SetdoEbaySync(true);
  frmMain->cbSyncPeriodically->SetChecked(true);
  advance(-3 * 3600);
  tick();
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "300 seconds.");
  advance(241);
  tick();
  QStringList log = takeLog();
  EXPECT_EQ(calls(log, totals), 1);
  EXPECT_EQ(calls(log, dispatchCheck), 1);
  advance(60);
  tick();
  EXPECT_EQ(calls(takeLog(), agentStart), 1);
  advance(3600);
  tick();
  EXPECT_TRUE(frmMain->GetdynaWaiting()) << "the hourly sync waited for the clock";
  frmMain->SetdynaWaiting(false);
  frmMain->SetdoBrowserRetryOffset(false);
  frmMain->SetpanStat(0);
  frmMain->broOffset->Stop();
  takeLog();

  advance(3 * 3600);
  tick();
  log = takeLog();
  EXPECT_EQ(calls(log, dispatchCheck), 1);
  EXPECT_EQ(calls(log, agentStart), 1);
  advance(5);
  tick();
  log = takeLog();
  EXPECT_EQ(calls(log, dispatchCheck), 0);
  EXPECT_EQ(calls(log, agentStart), 0);
}

TEST_F(ScheduleTest, ClockSetBackDelaysNoPageRetryBeyondItsPeriod) {
  frmMain->SetdoBrowserRetryOffset(true);
  advance(-3 * 3600);
  tick();
  advance(91);
  tick();
  EXPECT_EQ(frmMain->pnlPleaseWait->Caption().str(), "+-+");
  frmMain->SetdoBrowserRetryOffset(false);
  frmMain->broOffset->Stop();

  frmMain->SetcurrBroAction(5);
  frmMain->SetcurrBroAction(9);  // a handled page whose blank page does not come
  advance(-3 * 3600);
  tick();
  advance(121);
  tick();
  EXPECT_FALSE(frmMain->GetdoBrowserRetry());
  EXPECT_EQ(frmMain->GetcurrBroAction(), 1);
}

TEST_F(ScheduleTest, TotalsAreRecalculatedEveryMinuteWhateverElseWaits) {
  frmMain->SetdoRecalc(true);
  frmMain->SetdoBrowserRetry(true);  // a page load holds back neither the totals nor a check
  frmMain->SetdoDispatchLaunchCheck(true);
  advance(30);
  tick();
  EXPECT_EQ(calls(takeLog(), totals), 0);
  advance(31);
  tick();
  QStringList log = takeLog();
  EXPECT_EQ(calls(log, totals), 1);
  EXPECT_TRUE(log.contains("TAG:::GetdoRecalc()"));
  advance(300);
  tick();
  log = takeLog();
  EXPECT_EQ(calls(log, totals), 1);
  EXPECT_EQ(calls(log, dispatchCheck), 1);
}

TEST_F(ScheduleTest, OfficialTimeRetryIsArmedByEveryRaiseAndHoldsBackEverythingElse) {
  frmMain->SetdoDispatchLaunchCheck(true);
  frmMain->SetseekingRefreshData(true);
  writeFile(workPath("newgrid.lv"), "");
  frmMain->SetdoBrowserRetryOffset(true);
  advance(30);
  frmMain->SetdoBrowserRetryOffset(true);
  EXPECT_EQ(frmMain->pnlPleaseWait->Caption().str(), "++");
  advance(59);
  tick();
  EXPECT_EQ(frmMain->pnlPleaseWait->Caption().str(), "++");
  advance(2);
  tick();
  // Re-armed: lowered and raised again, and the page requested anew.
  EXPECT_EQ(frmMain->pnlPleaseWait->Caption().str(), "++-+");
  EXPECT_TRUE(frmMain->broOffset->Busy());
  advance(600);
  tick();
  const QStringList log = takeLog();
  EXPECT_EQ(calls(log, dispatchCheck), 0);
  EXPECT_EQ(calls(log, agentPoll), 0);
  EXPECT_TRUE(QFile::exists(workPath("newgrid.lv")));
  frmMain->broOffset->Stop();
}

TEST_F(ScheduleTest, AgentResultIsReadOnceAndItsFileDeleted) {
  frmMain->SetseekingRefreshData(true);
  tick();
  EXPECT_EQ(calls(takeLog(), agentPoll), 0);
  EXPECT_TRUE(frmMain->GetseekingRefreshData());

  writeFile(workPath("newgrid.lv"), "");
  tick();
  QStringList log = takeLog();
  EXPECT_EQ(calls(log, agentPoll), 1);
  EXPECT_EQ(calls(log, totals), 1);
  EXPECT_FALSE(frmMain->GetseekingRefreshData());
  EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));

  // A result file that nobody waits for is left alone.
  writeFile(workPath("newgrid.lv"), "");
  tick();
  EXPECT_EQ(calls(takeLog(), agentPoll), 0);
  EXPECT_TRUE(QFile::exists(workPath("newgrid.lv")));
}

// A result whose last record is cut short warns once: the ticks that run while the warning is
// open do not read the same file again and pile up a warning every 5 seconds.
TEST_F(ScheduleTest, AgentResultWarningIsNotRepeatedByTheTicksWhileItIsOpen) {
  addWatched("220000000101");
  writeFile(workPath("newgrid.lv"),
            "220000000101\r\nTitle\r\n14.00\r\n8\r\n1\r\nACTIVE\r\n0.00\r\nUSD\r\nIND\r\n"
            "220000000102\r\nTitle\r\n15.00\r\n9\r\n1\r\n");
  frmMain->SetseekingRefreshData(true);
  SetDialogResponder([this](const DialogRequest& request) {
    boxes_.push_back(request);
    if (boxes_.size() == 1) {
      advance(5);
      tick();
      advance(5);
      tick();
    }
    return DefaultDialogAnswer(request);
  });
  tick();
  EXPECT_EQ(boxTexts(),
            std::vector<std::string>{
                "Possible error loading data from last session.  Click OK to continue."});
  EXPECT_EQ(calls(takeLog(), agentPoll), 1);
  EXPECT_EQ(cellText(findRowByCaption(frmMain->lvShowAll, "220000000101"), siCurrent).str(),
            "14.00");
  EXPECT_FALSE(frmMain->GetseekingRefreshData());
  EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));
}

TEST_F(ScheduleTest, EmptyWatchListRestartsTheCountdownOnEveryTickAndStartsNoAgent) {
  frmMain->SetdoRefreshLVShowAll(true);
  for (int i = 0; i < 3; ++i) {
    advance(400);
    tick();
    const std::string shown = frmMain->lblNextRefresh->Caption().str();
    EXPECT_TRUE(shown == "300 seconds." || shown == "299 seconds.") << shown;
  }
  EXPECT_EQ(calls(takeLog(), agentStart), 0);
  EXPECT_FALSE(frmMain->GetseekingRefreshData());
}

TEST_F(ScheduleTest, CountdownShowsTheSecondsLeftAndStartsTheAgentWhenItRunsOut) {
  addWatched("220000000101");
  frmMain->SetdoRefreshLVShowAll(true);
  advance(100);
  tick();
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "200 seconds.");

  // Another page: the label keeps its text while the countdown runs on.
  frmMain->PageControl1->SetActivePage(frmMain->tsPreferences);
  advance(201);
  tick();
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "200 seconds.");
  EXPECT_EQ(calls(takeLog(), agentStart), 1);
  EXPECT_TRUE(frmMain->GetseekingRefreshData());

  frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
  advance(10);
  tick();
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "290 seconds.");
  EXPECT_EQ(calls(takeLog(), agentStart), 0);
}

// A refresh asked for at once moves the deadline a day back: the label shows 0, not a day.
TEST_F(ScheduleTest, ImmediateRefreshRequestShowsNoSecondsAndStartsTheAgent) {
  addWatched("220000000101");
  frmMain->rebuildLVAllTdate();
  tick();
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "0 seconds.");
  EXPECT_EQ(calls(takeLog(), agentStart), 1);
}

// The preference must convert as whole seconds; other texts count as the default.
TEST_F(ScheduleTest, IntervalThatIsNoWholeNumberCountsAsTheDefault) {
  addWatched("220000000101");
  for (const char* interval : {"2.5", "", "fast"}) {
    frmMain->edtRefreshInterval->SetText(interval);
    frmMain->SetdoRefreshLVShowAll(false);
    frmMain->SetdoRefreshLVShowAll(true);
    tick();
    EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "300 seconds.") << interval;
  }
  EXPECT_EQ(calls(takeLog(), agentStart), 0);
}

TEST_F(ScheduleTest, HourlySyncRunsOnlyWhenThePreferenceIsChecked) {
  addWatched("220000000101");
  frmMain->SetdoEbaySync(true);
  frmMain->SetdoRefreshLVShowAll(true);
  advance(3601);
  tick();
  EXPECT_FALSE(frmMain->GetdynaWaiting());
  EXPECT_TRUE(frmMain->GetdoEbaySync());

  frmMain->cbSyncPeriodically->SetChecked(true);  // raises nothing new: the flag is up
  tick();
  EXPECT_TRUE(frmMain->GetdynaWaiting());
  EXPECT_TRUE(frmMain->GetdoBrowserRetryOffset());
  EXPECT_EQ(frmMain->GetpanStat(), 1);
  takeLog();

  // While the sync has not read the official-time page, nothing but the totals and the
  // page's retry runs: the dispatch check, the agent poll and the countdown wait.
  frmMain->SetdoDispatchLaunchCheck(true);
  frmMain->SetseekingRefreshData(true);
  writeFile(workPath("newgrid.lv"), "");
  advance(7200);
  tick();
  const QStringList log = takeLog();
  EXPECT_EQ(calls(log, dispatchCheck), 0);
  EXPECT_EQ(calls(log, agentPoll), 0);
  EXPECT_EQ(calls(log, agentStart), 0);
  frmMain->SetpanStat(0);
}

// A sync whose page never comes (the official-time host does not answer) is asked again every
// minute, and after five minutes gives up: the schedule runs again on the offset it had.
TEST_F(ScheduleTest, SyncWhosePageNeverComesGivesUpAfterFiveMinutes) {
  addWatched("220000000101");
  frmMain->SetdoDispatchLaunchCheck(true);
  frmMain->SetdynaWaiting(true);
  const TDateTime eBayNow = frmMain->ebayNow();
  frmCommand->btnGetOffsetClick(frmCommand);
  ASSERT_TRUE(frmMain->GetdoBrowserRetryOffset());
  for (int minute = 1; minute <= 4; ++minute) {
    advance(61);
    tick();
    EXPECT_TRUE(frmMain->GetdoBrowserRetryOffset()) << minute;
  }
  EXPECT_EQ(calls(takeLog(), dispatchCheck), 0);
  advance(61);
  tick();
  EXPECT_FALSE(frmMain->GetdoBrowserRetryOffset());
  EXPECT_FALSE(frmMain->GetdynaWaiting());
  EXPECT_EQ(frmMain->GetpanStat(), 0);
  EXPECT_NEAR((frmMain->ebayNow() - eBayNow) / OneSecond, 5 * 61, 0.01);
  takeLog();
  advance(241);
  tick();
  EXPECT_EQ(calls(takeLog(), dispatchCheck), 1);
}

// An hourly sync that has not finished holds back the countdown and the next sync; the
// dispatch check and the agent poll still run.
TEST_F(ScheduleTest, UnfinishedSyncHoldsBackTheCountdownAndTheNextSync) {
  addWatched("220000000101");
  frmMain->cbSyncPeriodically->SetChecked(true);
  frmMain->SetdoEbaySync(true);
  frmMain->SetdoRefreshLVShowAll(true);
  frmMain->SetdoDispatchLaunchCheck(true);
  frmMain->SetdynaWaiting(true);
  advance(3601);
  tick();
  const QStringList log = takeLog();
  EXPECT_EQ(calls(log, dispatchCheck), 1);
  EXPECT_EQ(calls(log, agentStart), 0);
  EXPECT_FALSE(frmMain->GetdoBrowserRetryOffset()) << "no sync started";
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "");
}

// An add may wait four minutes for its page (the request and its retry): the dispatch check
// runs meanwhile and leaves the page's retry raised; the agent's result and the countdown wait
// for the add.
TEST_F(ScheduleTest, DispatchCheckRunsWhileAnAddWaitsForItsPage) {
  addWatched("220000000101");
  frmMain->SetdoDispatchLaunchCheck(true);
  frmMain->SetdoRefreshLVShowAll(true);
  frmMain->SetseekingRefreshData(true);
  writeFile(workPath("newgrid.lv"), "");
  advance(200);
  frmMain->SetcurrBroAction(5);
  advance(41);
  tick();
  const QStringList log = takeLog();
  EXPECT_EQ(calls(log, dispatchCheck), 1);
  EXPECT_EQ(calls(log, agentPoll), 0);
  EXPECT_EQ(calls(log, agentStart), 0);
  EXPECT_TRUE(frmMain->GetdoBrowserRetry());
  EXPECT_EQ(frmMain->GetcurrBroAction(), 5);
  EXPECT_EQ(frmMain->lblNextRefresh->Caption().str(), "");
  frmMain->SetcurrBroAction(1);
}

// A handled page whose blank page does not come within a retry's time (it cannot load, or
// reads without "blank") ends the add road at the retry instead of asking again.
TEST_F(ScheduleTest, BlankPageThatNeverComesEndsTheAddRoadAtTheRetry) {
  frmMain->SetcurrBroAction(5);
  frmMain->SetcurrBroAction(9);
  EXPECT_TRUE(frmMain->GetdoBrowserRetry());
  advance(121);
  tick();
  EXPECT_EQ(frmMain->GetcurrBroAction(), 1);
  EXPECT_FALSE(frmMain->GetdoBrowserRetry());
  EXPECT_FALSE(frmMain->pnlPleaseWait->Visible());
}

TEST_F(ScheduleTest, ItemPageIsRequestedAgainUntilItIsRecognisedOrGivenUp) {
  tarnwick::tools::PracticeSite site;
  TIniFile("tarnwick.ini").WriteString("hosts", "item", site.baseUrl().c_str());
  ASSERT_TRUE(QFile::copy(TARN11_DIR "/dummy.htm", workPath("dummy.htm")));
  frmMain->edtEbayMember->SetText("tarnbuyer");
  const std::string first = "/ws/eBayISAPI.dll?ViewItem&item=220000000101";
  const std::string second = "/ws/eBayISAPI.dll?ViewItem&item=220000000102";
  site.control("fault=truncate&page=*");
  const auto pumpUntil = [](const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000) {
      Application->ProcessMessages();
      QThread::msleep(2);
    }
    return done();
  };
  const auto add = [&](const char* item) {
    frmMain->edtNewItem->SetText(item);
    frmMain->btnEnterItemNum->Click();
    ASSERT_TRUE(pumpUntil([&] { return !frmMain->bro->Busy(); }));
  };

  // A second add takes over the browser while the first one's retry is armed: the retry asks
  // for the second page, which then comes whole.
  add("220000000101");
  EXPECT_EQ(site.requestCount(first), 1);
  advance(60);
  tick();
  add("220000000102");
  EXPECT_EQ(site.requestCount(second), 1);
  advance(59);
  tick();
  EXPECT_FALSE(frmMain->bro->Busy());
  site.control("fault=none&page=*");
  advance(2);
  tick();
  ASSERT_TRUE(pumpUntil([] { return frmMain->GetcurrBroAction() == 1; }));
  EXPECT_EQ(site.requestCount(first), 1);
  EXPECT_EQ(site.requestCount(second), 2);
  EXPECT_FALSE(frmMain->GetdoBrowserRetry());
  EXPECT_NE(findRowByCaption(frmMain->lvShowAll, "220000000102"), nullptr);
  EXPECT_TRUE(boxes_.size() == 1 && boxes_[0].text.Pos("Auction added.") == 1);

  // A page that never comes whole is asked for again at the retry, and given up once that
  // request has failed too, before a third would come: the user is told and the schedule runs
  // again.
  boxes_.clear();
  site.control("fault=truncate&page=*");
  add("220000000101");
  advance(116);
  tick();
  EXPECT_EQ(frmMain->GetcurrBroAction(), 5);
  advance(5);
  tick();
  ASSERT_TRUE(pumpUntil([] { return !frmMain->bro->Busy(); }));
  EXPECT_EQ(site.requestCount(first), 3);
  advance(114);
  tick();
  EXPECT_EQ(frmMain->GetcurrBroAction(), 5);
  EXPECT_TRUE(boxes_.empty());
  advance(2);
  tick();
  EXPECT_EQ(frmMain->GetcurrBroAction(), 1);
  EXPECT_FALSE(frmMain->GetdoBrowserRetry());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.str(),
            "The page of item 220000000101 could not be loaded. Try adding the auction again "
            "later.");
  EXPECT_EQ(site.requestCount(first), 3);
}

}  // namespace
