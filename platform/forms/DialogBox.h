#pragma once
// Asking one box: the responder, the script, the headless default or a modal Qt dialog, in
// that order; every box is logged when a log file is set.
#include "forms/Dialogs.h"

class QWidget;

DialogAnswer ShowDialog(const DialogRequest& request);

// True when the box waits for the work that raised it (see BoxesShownAfterWork): it is then not
// shown now, and its answer is mrOk.
bool WaitsForWork(const DialogRequest& request);

// The window a box belongs to, centred on it: the active form's window, else the main form's
// when it is shown, else none.
QWidget* DialogOwner();

// Whether a box of that owner comes up as the active window. The box of a window that shows
// without taking the keyboard (a program working in the background) takes it only while its
// program already holds it: one that pops up while the user types into another program's
// window is shown, and the keys go on where they were typed until the user clicks the box.
bool DialogTakesTheKeyboard(QWidget* owner);
