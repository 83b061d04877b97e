#pragma once
// The main window with a test clock standing in for the local time, every schedule flag
// lowered before and after each test, and the desktop opener replaced by its recorder (a
// refresh that falls due starts the agent, which the shell hands to the opener when the
// program is missing). Deadlines are passed by moving now_ and calling the tick directly.
#include <cstdlib>

#include "MainWindowFixture.h"
#include "tools/testing/PracticeSite.h"

class ScheduleFixture : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    now_ = Now();
    SetClock([this] { return now_; });
    setenv("TARNWICK_OPENER", tarnwick::tools::fakeOpener().c_str(), 1);
    lowerEveryFlag();
  }
  void TearDown() override {
    lowerEveryFlag();
    unsetenv("TARNWICK_OPENER");
    SetClock({});
    MainWindowFixture::TearDown();
  }
  static void lowerEveryFlag() {
    frmMain->SetdoRecalc(false);
    frmMain->SetdoBrowserRetryOffset(false);
    frmMain->SetdoBrowserRetry(false);
    frmMain->SetdoDispatchLaunchCheck(false);
    frmMain->SetseekingRefreshData(false);
    frmMain->SetdynaWaiting(false);
    frmMain->SetdoRefreshLVShowAll(false);
    frmMain->SetdoEbaySync(false);
  }
  static void tick() { frmMain->tmrDynaTimerTimer(frmMain->tmrDynaTimer); }
  // An end time seconds after now_, as end-time entries hold it (eBay's clock runs with the
  // local one here).
  AnsiString endIn(double seconds) const { return DateTimeToStr(now_ + seconds * OneSecond); }

  TDateTime now_;
};
