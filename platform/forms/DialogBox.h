#pragma once
// Asking one box: the responder, the script, the headless default or a modal Qt dialog, in
// that order; every box is logged when a log file is set.
#include "forms/Dialogs.h"

DialogAnswer ShowDialog(const DialogRequest& request);
