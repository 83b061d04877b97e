#pragma once
// What both programs hold to about the files of their shared working directory: the names of
// the files they hand to each other, which texts may become part of a file name, how a value
// becomes one line of a record file, and which state words mark an auction as over.
#include "lib/AnsiString.h"

// The watch list, written by the portal and read by the agent.
inline constexpr const char* watchListFileName = "lvshowall.txt";
// The refreshed grid, written by the agent and read (then deleted) by the portal.
inline constexpr const char* refreshedGridFileName = "newgrid.lv";

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
