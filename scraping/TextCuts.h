#pragma once
// The two cuts that every page operation is made of.
#include "lib/AnsiString.h"

namespace scraping {

// The text from the second character of marker's first occurrence (marker's first character
// dropped, the rest kept); the whole text when marker does not occur.
AnsiString cutAfter(const AnsiString& text, const AnsiString& marker);
// The text before marker's first occurrence; empty when marker does not occur.
AnsiString cutBefore(const AnsiString& text, const AnsiString& marker);

}  // namespace scraping
