// The offset between the local clock and eBay's official clock.
//
// The start-up fetch needs the HTTP client, which is not built yet. Until it is, the fetch
// ends as a failed request does: no schedule flag is raised and the second start-up stage does
// not run, so the command bar stays hidden while the watch list stays usable.
#include "portal/Commander.h"
#include "portal/Unit1.h"

void TfrmMain::getOffsetHttp() { logLine("TAG:getOffsetHttp()"); }

// Will start a clock sync through the official-time page in the hidden browser broOffset.
void TfrmCommand::btnGetOffsetClick(TObject* Sender) { (void)Sender; }
