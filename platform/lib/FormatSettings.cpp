#include "lib/FormatSettings.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

namespace {
// The first separator character of a locale date or time pattern such as "%m/%d/%y".
char separatorOf(const char* pattern, char fallback) {
  if (!pattern) return fallback;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '%') {
      if (p[1]) ++p;
      continue;
    }
    if (std::strchr("/.-:", *p)) return *p;
  }
  return fallback;
}
}  // namespace

void LoadFormatSettingsFromLocale() {
  TFormatSettings& fs = FormatSettings();
  std::setlocale(LC_ALL, "");
  const lconv* lc = std::localeconv();
  if (lc->decimal_point && lc->decimal_point[0]) fs.DecimalSeparator = lc->decimal_point[0];
  if (lc->mon_thousands_sep && lc->mon_thousands_sep[0])
    fs.ThousandSeparator = lc->mon_thousands_sep[0];
  if (lc->currency_symbol && lc->currency_symbol[0]) {
    fs.CurrencyString = lc->currency_symbol;
    const bool before = lc->p_cs_precedes == 1;
    const bool spaced = lc->p_sep_by_space == 1;
    fs.CurrencyFormat = before ? (spaced ? 2 : 0) : (spaced ? 3 : 1);
    if (lc->frac_digits >= 0 && lc->frac_digits <= 4) fs.CurrencyDecimals = lc->frac_digits;
  }
  fs.DateSeparator = separatorOf(nl_langinfo(D_FMT), '/');
  fs.TimeSeparator = separatorOf(nl_langinfo(T_FMT), ':');
  // Text conversions inside the C library keep the C locale's point; ours use the settings.
  std::setlocale(LC_NUMERIC, "C");
}
