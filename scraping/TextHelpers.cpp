// The text helpers of the scraping class.
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"

bool TEbayScraper::containsText(const AnsiString& needle, const AnsiString& haystack) const {
  // The locale's case-sensitive comparison finds two texts equal exactly when their bytes are,
  // so a window of the haystack equals the needle when it holds the needle's bytes: a byte
  // search, which a NUL byte in a saved page cannot cut short either.
  return haystack.str().find(needle.str()) != std::string::npos;
}

AnsiString TEbayScraper::replaceFirstText(const AnsiString& text, const AnsiString& replacement,
                                          const AnsiString& pattern) const {
  return StringReplace(text, pattern, replacement, {rfIgnoreCase});
}

AnsiString TEbayScraper::replaceAllText(const AnsiString& text, const AnsiString& replacement,
                                        const AnsiString& pattern) const {
  return StringReplace(text, pattern, replacement, {rfReplaceAll, rfIgnoreCase});
}

AnsiString TEbayScraper::stripSpaces(const AnsiString& text) const {
  const AnsiString blank(" ");
  AnsiString result;
  for (int i = 1; i <= text.Length(); ++i) {
    const AnsiString c(text[i]);
    if (AnsiCompareStr(c, blank) != 0) result += c;
  }
  return result;
}

bool TEbayScraper::isNumericText(const AnsiString& text) const {
  if (text.IsEmpty()) return false;
  for (int i = 1; i <= text.Length(); ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || c == '.')) return false;
  }
  return true;
}

bool TEbayScraper::isWholeNumberText(const AnsiString& text) const {
  return isNumericText(text) && text.Pos(".") == 0;
}
