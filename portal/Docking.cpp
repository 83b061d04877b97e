// The command bar keeps to the main window's right edge: one pixel to the right of it,
// top-aligned, of equal height. While the bar is visible the main window is never shorter
// than the bar's least height, the bottom edge of its "Tabs" button. A hidden bar is left
// where it is.
#include "portal/Commander.h"
#include "portal/Unit1.h"

void TfrmMain::FormResize(TObject* Sender) {
  (void)Sender;
  logLine("TAG:FormResize(TObject *Sender)");
  if (!frmCommand || !frmCommand->Visible()) return;
  frmCommand->SetBounds(Left() + Width() + 1, Top(), frmCommand->Width(), Height());
  const int leastHeight = frmCommand->btnTabs->Top() + frmCommand->btnTabs->Height();
  if (frmCommand->ClientHeight() < leastHeight) {
    frmCommand->SetClientHeight(leastHeight);
    // Runs this handler once more, which finds both heights in agreement.
    SetHeight(frmCommand->Height());
  }
}

void TfrmMain::MyMove(TWMMove& Message) {
  (void)Message;
  logLine("TAG:MyMove(TWMMove & Message)");
  FormResize(this);
}
