// The busy panel pnlPleaseWait: shown over the whole main window while the clock offset is
// being fetched (1) or an auction is being added (3), hidden at 0.
#include "portal/Unit1.h"

void TfrmMain::SetpanStat(panelStatus value) {
  logLine("TAG:SetpanStat(panelStatus value)");
  if (value == 1 || value == 3) {
    pnlPleaseWait->SetCaption("Calculating Ebay Time Offset.");
    if (value == 3) pnlPleaseWait->SetCaption("Please Wait. Adding / Updating.");
    pnlPleaseWait->SetBounds(0, 0, ClientWidth(), ClientHeight());
    pnlPleaseWait->Show();
    pnlPleaseWait->BringToFront();
  } else if (value == 0) {
    pnlPleaseWait->Hide();
  }
  panStat = value;
}

panelStatus TfrmMain::GetpanStat() { return panStat; }
