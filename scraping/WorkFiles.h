#pragma once
// What both programs hold to about the files of their shared working directory: the names of
// the files they hand to each other and the layout of their records, the caption by which the
// portal knows that the agent runs, which texts may become part of a file name, how a value
// becomes one line of a record file, and which state words mark an auction as over.
#include "lib/AnsiString.h"

// The watch list, written by the portal and read by the agent.
inline constexpr const char* watchListFileName = "lvshowall.txt";
// The refreshed grid, written by the agent and read (then deleted) by the portal.
inline constexpr const char* refreshedGridFileName = "newgrid.lv";

// The refresh agent's presence signal: while it runs, a window of this caption is open, and the
// portal starts no second agent.
inline constexpr const char* agentWindowCaption = "Tarnwick Refresh Data Agent";

// The cells of a watched auction, in the order of the sub-items of the portal's watch list and
// of the agent's work table (the row's caption is the item number).
inline constexpr int siSnipeAmount = 0;
inline constexpr int siTitle = 1;
inline constexpr int siCurrent = 2;
inline constexpr int siBids = 3;
inline constexpr int siQuantity = 4;
inline constexpr int siEnds = 5;
inline constexpr int siCurrency = 6;
inline constexpr int siGroup = 7;
inline constexpr int watchListSubItems = 8;

// A record of either file is nine lines: the item number, then the eight cells, one a line.
inline constexpr int auctionRecordLines = 1 + watchListSubItems;
// "lvshowall.txt" holds the cells in their own order.
constexpr int watchListLine(int subItem) { return 1 + subItem; }
// "newgrid.lv" holds them in this order: the snipe amount moved to the seventh line.
inline constexpr int refreshedGridCells[watchListSubItems] = {
    siTitle, siCurrent, siBids, siQuantity, siEnds, siSnipeAmount, siCurrency, siGroup};
// The line of a "newgrid.lv" record that holds the cell.
constexpr int refreshedGridLine(int subItem) {
  int line = 1;
  while (refreshedGridCells[line - 1] != subItem) ++line;
  return line;
}
// A file of either kind that has fewer lines is read as no list at all.
inline constexpr int fewestListFileLines = 6;

// Whether text (an item number, a group name) may become part of a file name of the working
// directory: it names no folder and no drive (no "/", "\", ":" or ".."), holds no control
// character, and is at most 200 bytes long, so the file's name and its temporary's fit.
bool fitsInFileName(const AnsiString& text);

// The text as one line of a record file: every CR, LF and NUL becomes a blank, so a value read
// from a page or typed by the user can never split its record, nor cut it short for a reader
// that ends a line at a NUL.
AnsiString oneLine(const AnsiString& text);

// Whether an ends cell says the auction is over: "WON", "LOST" or "ENDED" anywhere in it
// (case-sensitive), so a won count such as "WON -2-" and "ENDED - LOT" count too.
bool isOverState(const AnsiString& ends);
