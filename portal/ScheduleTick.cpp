// The 5-second tick of tmrDynaTimer: all background work of the portal runs from here, in a
// fixed order. While a clock sync waits for the official-time page the tick runs nothing but
// the totals and that page's retry, so nothing is dispatched or refreshed on a clock that is
// not settled. While the item-page browser is loading a page it runs the totals, that page's
// retry and the dispatch check: an add may wait four minutes for its page, and no snipe waits
// with it. A box that the tick's work raises is shown once the tick has returned (the timer
// sees to that), so no box left open holds the schedule back, and the work of one tick never
// waits in the middle while the next tick runs.
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/SchedulePeriods.h"
#include "portal/Unit1.h"
#include "scraping/EbayScraper.h"
#include "scraping/SiteHosts.h"
#include "scraping/WorkFiles.h"
#include "win32/ticks.h"

namespace {

// A deadline further ahead than its flag ever arms it was armed on a clock that has since been
// set back (by the user, or by a time service): it is brought back to one full period from
// now, so the work waits no more than its period instead of the hours the clock went back.
void pullIn(TDateTime& deadline, TDateTime now, int periodSeconds) {
  const double period = periodDays(periodSeconds);
  if (deadline > now + period) deadline = now + period;
}

// An unarmed deadline is armed one period from now; an armed one is pulled in as above.
void armWithin(TDateTime& deadline, TDateTime now, int periodSeconds) {
  if (deadline == 0) deadline = now + periodDays(periodSeconds);
  pullIn(deadline, now, periodSeconds);
}

}  // namespace

void TfrmMain::tmrDynaTimerTimer(TObject* Sender) {
  (void)Sender;
  logLine("TAG:tmrDynaTimerTimer(TObject *Sender)");
  const TDateTime now = Now();
  tickTotals(now);
  // Nothing is dispatched or refreshed before the start-up has the clock offset and the
  // end-time list, whatever the user asked for meanwhile.
  if (startUpPending) return;
  if (GetdoBrowserRetryOffset()) {
    tickOfficialTimeRetry(now);
    return;
  }
  if (GetdoBrowserRetry()) {
    tickItemPageRetry(now);
    tickDispatchCheck(now);
    return;
  }
  tickDispatchCheck(now);
  tickAgentResult();
  if (GetdynaWaiting()) return;
  tickRefreshCountdown(now);
  tickHourlySync(now);
}

void TfrmMain::tickTotals(TDateTime now) {
  if (!GetdoRecalc()) return;
  armWithin(recalcDeadline, now, recalcSeconds);
  if (now > recalcDeadline) {
    rearm(&TfrmMain::SetdoRecalc);
    calcTotals();
  }
}

// Asks for the official-time page again: the blank page first, so that the next arrival is a
// fresh load, then the page itself several times, the last request standing.
void TfrmMain::tickOfficialTimeRetry(TDateTime now) {
  armWithin(offsetRetryDeadline, now, offsetRetryUnarmedSeconds);
  if (!(now > offsetRetryDeadline)) return;
  if (giveUpOffsetSync()) return;
  rearm(&TfrmMain::SetdoBrowserRetryOffset);
  ebayScraper.broNavigate(broOffset, "about:blank");
  Sleep(500);
  for (int request = 0; request < 4; ++request)
    ebayScraper.broNavigate(broOffset, officialTimePageUrl("TimeShow"));
}

// Asks again for the item page that is being added, until one of its loads is recognised or
// the add is given up once the retry has failed too. A page already handled whose blank page has
// not come in the time of a retry will not come (it failed to load, or reads without "blank"): the
// add road ends instead.
void TfrmMain::tickItemPageRetry(TDateTime now) {
  if (giveUpAdd(now)) return;
  armWithin(browserRetryDeadline, now, browserRetrySeconds);
  if (!(now > browserRetryDeadline)) return;
  if (GetcurrBroAction() == actPageHandled) {
    endAddRoad();
    return;
  }
  rearm(&TfrmMain::SetdoBrowserRetry);
  addRequested = now;
  ++addRequests;
  ebayScraper.broNavigate(bro, currURL);
}

void TfrmMain::tickDispatchCheck(TDateTime now) {
  if (!GetdoDispatchLaunchCheck()) return;
  if (dispatchDeadline == 0) rearm(&TfrmMain::SetdoDispatchLaunchCheck);
  pullIn(dispatchDeadline, now, dispatchSeconds);
  if (dispatchDeadline < now) {
    rearm(&TfrmMain::SetdoDispatchLaunchCheck);
    checkDispatchLauncher();
  }
}

void TfrmMain::tickAgentResult() {
  if (!GetseekingRefreshData() || !FileExists(refreshedGridFileName)) return;
  // Lowered before the read: a warning the read shows runs the ticks meanwhile, and they must
  // not read the same file again and stack a warning every 5 seconds.
  SetseekingRefreshData(false);
  loadFreshGridData();
  calcTotals();
  DeleteFile(refreshedGridFileName);
}

// Counts down to the next refresh run. An empty watch list restarts the countdown on every
// tick, so no agent is started for nothing.
void TfrmMain::tickRefreshCountdown(TDateTime now) {
  if (!GetdoRefreshLVShowAll()) return;
  if (lvShowAll->Items()->Count() == 0) refreshDeadline = 0;
  if (refreshDeadline == 0) rearm(&TfrmMain::SetdoRefreshLVShowAll);
  pullIn(refreshDeadline, now, refreshIntervalSeconds());
  if (PageControl1->ActivePage() == tsShowAll) {
    // A deadline already passed shows 0: the run starts below.
    const std::int64_t left = refreshDeadline > now ? SecondsBetween(refreshDeadline, now) : 0;
    lblNextRefresh->SetCaption(IntToStr(left) + " seconds.");
  }
  if (refreshDeadline < now) {
    refreshDeadline = now + periodDays(refreshIntervalSeconds());
    rearm(&TfrmMain::SetdoRefreshLVShowAll);
    launchGridRefresher();
    SetseekingRefreshData(true);
  }
}

void TfrmMain::tickHourlySync(TDateTime now) {
  if (!GetdoEbaySync() || !cbSyncPeriodically->Checked()) return;
  if (ebaySyncDeadline == 0) rearm(&TfrmMain::SetdoEbaySync);
  pullIn(ebaySyncDeadline, now, ebaySyncSeconds);
  if (ebaySyncDeadline < now) {
    ebaySyncDeadline = now + periodDays(ebaySyncSeconds);
    rearm(&TfrmMain::SetdoEbaySync);
    SetdynaWaiting(true);
    frmCommand->btnGetOffsetClick(frmCommand);
  }
}
