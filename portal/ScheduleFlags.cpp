// Schedule flags of the main window: a flag says a kind of work is wanted, its deadline when
// it next falls due. Raising a flag arms its deadline; lowering it leaves the deadline.
#include "portal/SchedulePeriods.h"
#include "portal/Unit1.h"

namespace {

// Stores a changed value; a raise arms the deadline armForSeconds from now.
void storeFlag(bool& flag, TDateTime& deadline, bool value, int armForSeconds) {
  if (flag == value) return;
  flag = value;
  if (value) deadline = Now() + periodDays(armForSeconds);
}

}  // namespace

void TfrmMain::rearm(void (TfrmMain::*setter)(bool)) {
  (this->*setter)(false);
  (this->*setter)(true);
}

void TfrmMain::SetdoEbaySync(bool value) {
  logLine("TAG:SetdoEbaySync(bool value)");
  storeFlag(doEbaySync, ebaySyncDeadline, value, ebaySyncSeconds);
}

bool TfrmMain::GetdoEbaySync() {
  logLine("TAG:GetdoEbaySync()");
  return doEbaySync;
}

void TfrmMain::SetdoBrowserRetry(bool value) {
  logLine("TAG:SetdoBrowserRetry(bool value)");
  storeFlag(doBrowserRetry, browserRetryDeadline, value, browserRetrySeconds);
}

bool TfrmMain::GetdoBrowserRetry() {
  logLine("TAG:GetdoBrowserRetry()");
  return doBrowserRetry;
}

void TfrmMain::SetdoRefreshLVShowAll(bool value) {
  logLine("TAG:SetdoRefreshLVShowAll(bool value)");
  storeFlag(doRefreshLVShowAll, refreshDeadline, value, refreshIntervalSeconds());
}

bool TfrmMain::GetdoRefreshLVShowAll() {
  logLine("TAG:GetdoRefreshLVShowAll()");
  return doRefreshLVShowAll;
}

// A text that is no whole number of seconds (empty, "2.5") counts as the default 300, so a
// slip in the preference never starts the agent on every tick.
int TfrmMain::refreshIntervalSeconds() {
  const int seconds = edtRefreshInterval->Text().ToIntDef(-1);
  return seconds < 0 ? 300 : seconds;
}

void TfrmMain::SetdoRecalc(bool value) {
  logLine("TAG:SetdoRecalc(bool value)");
  storeFlag(doRecalc, recalcDeadline, value, recalcSeconds);
}

bool TfrmMain::GetdoRecalc() {
  logLine("TAG:::GetdoRecalc()");
  return doRecalc;
}

// The busy panel's caption keeps a trail of "+" and "-", one for every call. Each raise arms
// the deadline afresh, also when the flag is already raised.
void TfrmMain::SetdoBrowserRetryOffset(bool value) {
  logLine("TAG:SetdoBrowserRetryOffset(bool value)");
  pnlPleaseWait->SetCaption(pnlPleaseWait->Caption() + (value ? "+" : "-"));
  if (value) offsetRetryDeadline = Now() + periodDays(offsetRetrySeconds);
  doBrowserRetryOffset = value;
}

bool TfrmMain::GetdoBrowserRetryOffset() {
  logLine("TAG:GetdoBrowserRetryOffset()");
  return doBrowserRetryOffset;
}

void TfrmMain::SetdoDispatchLaunchCheck(bool value) {
  logLine("TAG:SetdoDispatchLaunchCheck(bool value)");
  storeFlag(doDispatchLaunchCheck, dispatchDeadline, value, dispatchSeconds);
}

bool TfrmMain::GetdoDispatchLaunchCheck() {
  logLine("TAG:GetdoDispatchLaunchCheck()");
  return doDispatchLaunchCheck;
}

void TfrmMain::SetseekingRefreshData(bool value) {
  logLine("TAG:SetseekingRefreshData(bool value)");
  seekingRefreshData = value;
}

bool TfrmMain::GetseekingRefreshData() {
  logLine("TAG:GetseekingRefreshData()");
  return seekingRefreshData;
}

void TfrmMain::SetdynaWaiting(bool value) {
  logLine("TAG:SetdynaWaiting(bool value)");
  dynaWaiting = value;
}

bool TfrmMain::GetdynaWaiting() {
  logLine("TAG:GetdynaWaiting()");
  return dynaWaiting;
}
