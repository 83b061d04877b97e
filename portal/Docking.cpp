// The command bar keeps to the main window's right edge. The docking itself comes with the
// command bar's buttons; the main window's moves already reach it through the message map.
#include "portal/Unit1.h"

void TfrmMain::FormResize(TObject* Sender) {
  (void)Sender;
  logLine("TAG:FormResize(TObject *Sender)");
}

void TfrmMain::MyMove(TWMMove& Message) {
  (void)Message;
  logLine("TAG:MyMove(TWMMove & Message)");
  FormResize(this);
}
