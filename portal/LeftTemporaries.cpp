#include "portal/LeftTemporaries.h"

#include <string>

#include "lib/SysUtils.h"
#include "portal/ErrorLog.h"
#include "portal/WatchListRows.h"
#include "portal/WinJournal.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"
#include "win32/replace_file.h"

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool startsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// The files only the portal writes.
bool portalOnlyFile(const std::string& name) {
  for (const char* own : {watchListFileName, endTimeFileName, "groups.tnq", "BID.TDL",
                          errorLogFileName, "offset.htm", "temp.tmp", winJournalFileName})
    if (name == own) return true;
  return (startsWith(name, "canc") && endsWith(name, ".TDL")) || endsWith(name, "logger.txt");
}

}  // namespace

void removeLeftTemporaries() {
  const bool agentRuns = ebayScraper.isWindowOpen(agentWindowCaption);
  RemoveLeftTemporaries(GetCurrentDir().str(), [agentRuns](const std::string& target) {
    return portalOnlyFile(target) || (!agentRuns && endsWith(target, ".tnw"));
  });
}
