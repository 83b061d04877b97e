// Item groups and "groups.tnq". Loading the file comes with the group operations.
#include "portal/Unit1.h"

void TfrmMain::loadGroupsListView() { logLine("TAG:loadGroupsListView()"); }
