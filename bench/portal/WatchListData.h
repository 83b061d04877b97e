#pragma once
// A watch list of a given size for the benchmarks, written as the portal's own files in the
// working directory: "lvshowall.txt", "lvAllTdate.txt" and the agent's "newgrid.lv". The mix
// of auctions is fixed: most are open (a tenth of them end within the hour), the rest have
// ended and are won, lost or waiting for their bid history. No auction is due for dispatch and
// every amount is a number, so no operation stops at a sniper start or a message box.
#include <string>

#include "lib/DateTime.h"

namespace bench {

// The item number of the auction at index i.
std::string itemNumber(int index);

// Writes "lvshowall.txt" and "lvAllTdate.txt" for count auctions, ends reckoned from now.
void writeWatchListFiles(int count, TDateTime now);

// Writes fileName in the layout of "newgrid.lv", as the agent leaves it after refreshing the
// same count auctions: every current bid a little higher, each auction's state word.
void writeRefreshedGrid(int count, const std::string& fileName);

// Writes an item page for itemNumber to fileName: a saved practice-site page with its item
// number replaced.
void writeItemPage(const std::string& itemNumber, const std::string& fileName);

}  // namespace bench
