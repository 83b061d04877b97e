#pragma once
// URL parsing, URL encoding and hexadecimal digits: free functions on 8-bit texts with
// 1-based positions, no state of their own.
#include "lib/AnsiString.h"

// Splits a URL (or a relative reference) into its parts. Path is also an input: its value
// before the call is the base against which "./" and "../" references are resolved. All six
// outputs are emptied first; no default port or path is filled in (callers supply them).
// A reference beginning with "//" gives the scheme "http" and the host, port and path after
// the "//".
void ParseURL(const AnsiString& URL, AnsiString& Proto, AnsiString& User, AnsiString& Pass,
              AnsiString& Host, AnsiString& Port, AnsiString& Path);

// The position of the count-th occurrence of needle in text (count > 0); when there are fewer,
// the text's length plus the number of missing occurrences. count -1: the last occurrence, 0
// when none. Any other count: 0.
int Posn(const AnsiString& needle, const AnsiString& text, int count);

// Letters and digits as they are, every other byte as "%" and two upper-case hex digits.
AnsiString UrlEncode(const AnsiString& text);
// One value of a query: stops at the first "&", "+" gives a blank, "%XY" the byte XY.
AnsiString UrlDecode(const AnsiString& text);

bool IsDigit(char c);
bool IsXDigit(char c);
// "0"-"9" give 0-9, any other character (its code AND 15) + 9 (10-15 for "A"-"F", "a"-"f").
int XDigit(char c);
// Within the first n characters: leading blanks skipped, then hex digits accumulated until a
// non-digit; no digit gives 0.
int htoin(const char* value, int n);
int htoi2(const char* value);
