// The totals of the watch list (lblTotal, lblOpen, lblHr). The sums come with the views.
#include "portal/Unit1.h"

void TfrmMain::calcTotals() { logLine("TAG:TfrmMain::calcTotals()"); }
