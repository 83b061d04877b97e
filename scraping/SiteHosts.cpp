#include "scraping/SiteHosts.h"

#include "lib/IniFile.h"
#include "scraping/EbayScraper.h"

namespace {

AnsiString configuredHost(const char* key, const char* fallback) {
  return TIniFile("tarnwick.ini").ReadString("hosts", key, fallback);
}

}  // namespace

AnsiString itemPageHost() { return configuredHost("item", "http://cgi.ebay.com"); }

AnsiString officialTimeHost() { return configuredHost("time", "http://cgi3.ebay.com"); }

AnsiString itemPageUrl(const AnsiString& itemNumber) {
  return ebayScraper.replaceAllText(
      itemPageHost() + "/ws/eBayISAPI.dll?ViewItem&item=" + itemNumber, "", " ");
}

AnsiString officialTimePageUrl(const AnsiString& query) {
  return officialTimeHost() + "/aw-cgi/eBayISAPI.dll?" + query;
}
