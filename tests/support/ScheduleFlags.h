#pragma once
// Every flag of the portal's schedule lowered, so that a tick runs no work until a test or a
// benchmark raises the flag it wants (the main window must have been made).
#include "portal/Unit1.h"

inline void lowerEveryScheduleFlag() {
  frmMain->SetdoRecalc(false);
  frmMain->SetdoBrowserRetryOffset(false);
  frmMain->SetdoBrowserRetry(false);
  frmMain->SetdoDispatchLaunchCheck(false);
  frmMain->SetseekingRefreshData(false);
  frmMain->SetdynaWaiting(false);
  frmMain->SetdoRefreshLVShowAll(false);
  frmMain->SetdoEbaySync(false);
}
