#include "portal/LeftTemporaries.h"

#include <string>

#include "lib/SysUtils.h"
#include "portal/ErrorLog.h"
#include "portal/PortalFiles.h"
#include "portal/TraceLog.h"
#include "portal/WatchListRows.h"
#include "portal/WinJournal.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"
#include "win32/replace_file.h"

namespace {

// The files only the portal writes.
bool portalOnlyFile(const std::string& name) {
  for (const char* own :
       {watchListFileName, endTimeFileName, groupsFileName, instructionFileName, errorLogFileName,
        officialTimePageFileName, addedPageCopyFileName, winJournalFileName})
    if (name == own) return true;
  return (name.starts_with(cancelFilePrefix) && name.ends_with(cancelFileExtension)) ||
         name.ends_with(traceLogFileEnding);
}

}  // namespace

void removeLeftTemporaries() {
  const bool agentRuns = ebayScraper.isWindowOpen(agentWindowCaption);
  RemoveLeftTemporaries(GetCurrentDir().str(), [agentRuns](const std::string& target) {
    return portalOnlyFile(target) || (!agentRuns && target.ends_with(".tnw"));
  });
}
