#include "portal/SiteHosts.h"

#include "lib/IniFile.h"

AnsiString officialTimeHost() {
  return TIniFile("tarnwick.ini").ReadString("hosts", "officialTime", "http://cgi3.ebay.com");
}

AnsiString officialTimePageUrl(const AnsiString& query) {
  return officialTimeHost() + "/aw-cgi/eBayISAPI.dll?" + query;
}
