#pragma once
// The names of the files that only the portal writes in its working folder, beside the lists
// (watchListFileName of scraping/WorkFiles.h, endTimeFileName of WatchListRows.h), the win
// journal (WinJournal.h), the error log (ErrorLog.h) and the trace logs (TraceLog.h). The
// start's tidy-up of left temporaries goes by the same names.
#include "lib/AnsiString.h"

// The groups, three lines a group: name, note, how many.
inline constexpr const char* groupsFileName = "groups.tnq";
// The sniper's instructions for the auction handed over last.
inline constexpr const char* instructionFileName = "BID.TDL";
// The copy of the item page being added, and the official-time page being read.
inline constexpr const char* addedPageCopyFileName = "temp.tmp";
inline constexpr const char* officialTimePageFileName = "offset.htm";

// A group's cancel file: its auctions for the sniper, once the group wants no more wins.
inline constexpr const char* cancelFilePrefix = "canc";
inline constexpr const char* cancelFileExtension = ".TDL";
inline AnsiString cancelFileName(const AnsiString& group) {
  return cancelFilePrefix + group + cancelFileExtension;
}
