// Schedule flags of the main window: a flag says a kind of work is wanted, its deadline when
// it next falls due. Raising a flag arms its deadline; lowering it leaves the deadline.
#include "portal/Unit1.h"

void TfrmMain::SetdoEbaySync(bool value) {
  logLine("TAG:SetdoEbaySync(bool value)");
  if (doEbaySync == value) return;
  doEbaySync = value;
  if (value) ebaySyncDeadline = Now() + OneHour;
}

bool TfrmMain::GetdoEbaySync() {
  logLine("TAG:GetdoEbaySync()");
  return doEbaySync;
}

void TfrmMain::SetdoBrowserRetry(bool value) {
  logLine("TAG:SetdoBrowserRetry(bool value)");
  if (doBrowserRetry == value) return;
  doBrowserRetry = value;
  if (value) browserRetryDeadline = Now() + 120 * OneSecond;
}

bool TfrmMain::GetdoBrowserRetry() {
  logLine("TAG:GetdoBrowserRetry()");
  return doBrowserRetry;
}

void TfrmMain::SetdoRefreshLVShowAll(bool value) {
  logLine("TAG:SetdoRefreshLVShowAll(bool value)");
  if (doRefreshLVShowAll == value) return;
  doRefreshLVShowAll = value;
  if (value) refreshDeadline = Now() + edtRefreshInterval->Text().ToIntDef(0) * OneSecond;
}

bool TfrmMain::GetdoRefreshLVShowAll() {
  logLine("TAG:GetdoRefreshLVShowAll()");
  return doRefreshLVShowAll;
}
