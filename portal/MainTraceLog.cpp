// The main window's trace log: one line per operation, kept in logLines and saved after each.
#include "portal/TraceLog.h"
#include "portal/Unit1.h"

void TfrmMain::logLine(const AnsiString& line) {
  if (!logging || !logLines) return;
  appendTraceLine(*logLines, logFileName, line);
}

void TfrmMain::SetLogging(bool value) {
  if (logging != value) logging = value;
}

bool TfrmMain::GetLogging() { return logging; }
