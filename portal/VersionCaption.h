#pragma once
// The About page's version caption, read from a program file's version information.
#include "lib/AnsiString.h"

// "Version " and the four parts of the file version joined by "." (major and minor from the
// most significant half, patch and build from the least significant one), or "Unknown version"
// when the size query, the block or its root value is not to be had.
AnsiString versionCaptionOf(const AnsiString& programFile);

// The caption for the running program.
AnsiString runningProgramVersionCaption();
