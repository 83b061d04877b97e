// Dispatch to the outside sniper: due auctions are written to "BID.TDL" and handed to
// "tnsnip.exe".
#include "portal/Unit1.h"

// Will walk the end-time entries and dispatch every auction that is due for bidding.
void TfrmMain::checkDispatchLauncher() { logLine("TAG:checkDispatchLauncher()"); }
