#pragma once
// Windows-1252, the ANSI code page of the programs' texts.
#include <cstdint>

// The Unicode code point of a Windows-1252 byte (undefined bytes map to themselves).
char32_t Cp1252ToUnicode(unsigned char byte);
// The Windows-1252 byte of a code point, or '?' when the code page has none.
unsigned char UnicodeToCp1252(char32_t codePoint);
