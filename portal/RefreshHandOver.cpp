// The hand-over to the refresh agent: the watch list goes out in "lvshowall.txt" and comes back
// refreshed in "newgrid.lv".
#include "portal/Unit1.h"

// Will apply each refreshed auction of "newgrid.lv" to its watch-list row.
void TfrmMain::loadFreshGridData() { logLine("TAG:loadFreshGridData()"); }

// Will write the watch list and start the agent unless its window is already open.
void TfrmMain::launchGridRefresher() { logLine("TAG:launchGridRefresher()"); }
