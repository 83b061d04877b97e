#pragma once
// "errlog.txt": the one-line file the entry point writes in the working directory when a
// failure has ended the portal.
#include "lib/AnsiString.h"

inline constexpr const char* errorLogFileName = "errlog.txt";

// Overwrites "errlog.txt" with one line: the message of the exception that ends the program
// (line breaks inside it become blanks). A file that cannot be written is let go: the program
// is ending and still shows the message.
void writeErrorLog(const AnsiString& message);
