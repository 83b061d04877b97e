#pragma once
// The trace log's two pure steps, kept apart from the main window so that they can be checked
// without one: naming the run's log file and adding one line to the in-memory log.
#include "lib/AnsiString.h"
#include "lib/DateTime.h"
#include "lib/StringList.h"

// The log text is cut back once it grows past this many characters...
inline constexpr int traceLogLimit = 1000000;
// ...to this many characters from its end.
inline constexpr int traceLogKeep = 500;

// The name of a run's log file: the time of day as a decimal fraction of a day (the general
// float form, up to 15 significant digits) followed by traceLogFileEnding.
inline constexpr const char* traceLogFileEnding = "logger.txt";
AnsiString traceLogFileName(TDateTime timeOfDay);

// Appends line as the new last line of lines (split as the list's text would split it), leaves
// fileName holding the whole list's text (a failed write is ignored and the line stays in
// memory), then cuts the text to its last traceLogKeep characters when it is longer than
// traceLogLimit. The file keeps the longer text until the next line.
//
// A file that already holds the list's text before the line gets only the line's bytes
// appended; any other is written whole. So a long log costs each line its own bytes, not the
// whole log's. lines holds no line break inside its strings, as every list filled here.
void appendTraceLine(TStringList& lines, const AnsiString& fileName, const AnsiString& line);
