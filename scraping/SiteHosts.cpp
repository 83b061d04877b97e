#include "scraping/SiteHosts.h"

#include "lib/IniFile.h"
#include "scraping/EbayScraper.h"

namespace {

AnsiString configuredHost(const char* key, const char* fallback) {
  return TIniFile("tarnwick.ini").ReadString("hosts", key, fallback);
}

// An item's page on the item path: host, path, the command's query and the number, blanks
// removed from the whole address.
AnsiString itemPathUrl(const AnsiString& host, const char* command, const AnsiString& itemNumber) {
  return ebayScraper.replaceAllText(host + "/ws/eBayISAPI.dll?" + command + "&item=" + itemNumber,
                                    "", " ");
}

}  // namespace

AnsiString itemPageHost() { return configuredHost("item", "http://cgi.ebay.com"); }

AnsiString bidHistoryHost() { return configuredHost("bids", "http://offer.ebay.com"); }

AnsiString officialTimeHost() { return configuredHost("time", "http://cgi3.ebay.com"); }

AnsiString itemPageUrl(const AnsiString& itemNumber) {
  return itemPathUrl(itemPageHost(), "ViewItem", itemNumber);
}

AnsiString bidHistoryPageUrl(const AnsiString& itemNumber) {
  return itemPathUrl(bidHistoryHost(), "ViewBids", itemNumber);
}

AnsiString officialTimePageUrl(const AnsiString& query) {
  return officialTimeHost() + "/aw-cgi/eBayISAPI.dll?" + query;
}
