#pragma once
// The two cuts that every page operation is made of.
#include "lib/AnsiString.h"

namespace scraping {

// The text from the second character of marker's first occurrence (marker's first character
// dropped, the rest kept); the whole text when marker does not occur.
AnsiString cutAfter(const AnsiString& text, const AnsiString& marker);
// The text before marker's first occurrence; empty when marker does not occur.
AnsiString cutBefore(const AnsiString& text, const AnsiString& marker);

// Longest text cut out of a page for a cell. Every real value is far shorter (an eBay title
// has at most 80 characters, an amount or a bid count a few), and a list-view cell shows one
// line of its column, a few hundred characters even across a whole screen; a page that runs
// on for megabytes without the marker that ends a value must not put megabytes into a cell,
// where every paint and every save of the lists would go over them again.
inline constexpr int kLongestCellText = 256;
// The text as a cell takes it: its first kLongestCellText bytes.
AnsiString cellText(const AnsiString& text);

}  // namespace scraping
