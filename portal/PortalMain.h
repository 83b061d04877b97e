#pragma once
// The portal's entry point.
#include <functional>

// The program: the application and its two forms, the start-up steps, the message loop until
// the main form closes, and the failure road (an exception that ends the loop is written to
// "errlog.txt" and shown once). Reads no arguments; returns 0.
int WinMain();

// WinMain's body. beforeLoop, when given, runs once start-up is done, just before the message
// loop starts (test programs schedule their events there).
int runPortal(const std::function<void()>& beforeLoop);

// The start-up steps once both forms exist: OLE, the end-time formats, a stale "newgrid.lv"
// deleted, the preferences loaded, logging set from them, the main form shown (its first show
// runs the start-up clock-offset fetch).
void portalStartUp();
