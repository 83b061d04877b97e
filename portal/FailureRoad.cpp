// The application's one failure road: every exception that reaches the message loop comes
// here, gets the support sentence once per run and is raised again, which ends the loop.
#include "portal/Unit1.h"

bool suffixAdded = false;

void TfrmMain::appExceptionHandler(TObject* Sender, Exception* E) {
  (void)Sender;
  logLine("TAG:appExceptionHandler(TObject *Sender, Exception *E)");
  AnsiString message = E ? E->Message() : AnsiString();
  if (!suffixAdded) {
    message += generalErrorSuffix;
    suffixAdded = true;
  }
  throw Exception(message);
}
