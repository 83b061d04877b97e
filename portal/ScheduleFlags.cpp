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
