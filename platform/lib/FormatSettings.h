#pragma once
// The process-wide format settings of the class library: read from the process locale at
// start-up (date separator "/", time separator ":" and decimal point "." unless the locale
// says otherwise), changed by the programs and by tests.
#include "lib/AnsiString.h"

struct TFormatSettings {
  AnsiString ShortDateFormat = "m/d/yyyy";
  AnsiString LongTimeFormat = "h:nn:ss";
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  AnsiString CurrencyString = "$";
  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int CurrencyFormat = 0;
  // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", ... as the class library numbers them
  int NegCurrFormat = 0;
  int CurrencyDecimals = 2;
};

// The one set of process-wide settings.
TFormatSettings& FormatSettings();

// Reads the settings from the process locale (LC_NUMERIC, LC_MONETARY), as the class library
// reads the regional settings when a program starts.
void LoadFormatSettingsFromLocale();
