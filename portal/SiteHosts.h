#pragma once
// The auction site's hosts are configuration: the section "hosts" of "tarnwick.ini" may name
// them (scheme and host, no path); the paths and queries of the pages stay fixed.
#include "lib/AnsiString.h"

// The official-time host, key "officialTime", default "http://cgi3.ebay.com".
AnsiString officialTimeHost();
// The official-time page: the host, "/aw-cgi/eBayISAPI.dll" and "?" with the query.
AnsiString officialTimePageUrl(const AnsiString& query);
