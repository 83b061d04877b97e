#pragma once
// The auction site's hosts are configuration, shared by both programs: the section "hosts" of
// "tarnwick.ini" may name each one as a scheme and host without a path (for example
// "http://127.0.0.1:8080"). The paths and queries of the pages stay fixed.
#include "lib/AnsiString.h"

// The item-page host, key "item", default "http://cgi.ebay.com".
AnsiString itemPageHost();
// The bid-history host, key "bids", default "http://offer.ebay.com".
AnsiString bidHistoryHost();
// The official-time host, key "time", default "http://cgi3.ebay.com".
AnsiString officialTimeHost();

// The item page of itemNumber: the host, "/ws/eBayISAPI.dll?ViewItem&item=" and the number,
// with every blank removed from the whole address.
AnsiString itemPageUrl(const AnsiString& itemNumber);
// The bid-history page of itemNumber: the host, "/ws/eBayISAPI.dll?ViewBids&item=" and the
// number, with every blank removed from the whole address.
AnsiString bidHistoryPageUrl(const AnsiString& itemNumber);
// The official-time page: the host, "/aw-cgi/eBayISAPI.dll" and "?" with the query.
AnsiString officialTimePageUrl(const AnsiString& query);
