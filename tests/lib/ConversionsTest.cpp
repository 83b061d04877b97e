#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CommaLocale.h"
#include "lib/Exceptions.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"

TEST(Conversions, FloatToStrUsesFifteenSignificantDigits) {
  struct Case {
    double value;
    const char* want;
  } cases[] = {{53010.0 / 86400.0, "0.613541666666667"},
               {25.5, "25.5"},
               {25.50, "25.5"},
               {100, "100"},
               {-0.25, "-0.25"},
               {0.0001, "0.0001"},
               {0.00001, "1E-5"},
               {1e20, "1E20"},
               {123456789012345.0, "123456789012345"},
               {0, "0"},
               {-0.000694444444444444, "-0.000694444444444444"}};
  for (const Case& c : cases) EXPECT_EQ(FloatToStr(c.value), c.want) << c.want;
}

TEST(Conversions, FloatToStrFollowsTheDecimalSeparator) {
  TFormatSettings saved = FormatSettings();
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(FloatToStr(12.5), "12,5");
  EXPECT_DOUBLE_EQ(StrToFloat("12,5"), 12.5);
  FormatSettings() = saved;
}

// The programs' Qt application takes LC_NUMERIC from the environment: under a comma locale
// the texts still follow the settings alone, so a snipe amount of 25.50 stays 25.5.
TEST(Conversions, NumberTextsIgnoreTheCLibrarysLocale) {
  const CommaNumericLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no comma locale can be had on this machine";
  EXPECT_DOUBLE_EQ(StrToFloat("25.50"), 25.5);
  EXPECT_DOUBLE_EQ(StrToFloat("0.5e1"), 5);
  EXPECT_EQ(FloatToStr(25.5), "25.5");
  EXPECT_EQ(FloatToStr(-0.000694444444444444), "-0.000694444444444444");
  TFormatSettings saved = FormatSettings();
  FormatSettings().CurrencyString = "$";
  FormatSettings().CurrencyFormat = 0;
  FormatSettings().ThousandSeparator = ',';
  FormatSettings().DecimalSeparator = '.';
  EXPECT_EQ(CurrToStrF(1e18 + 0.0, 2), "$1,000,000,000,000,000,000.00");
  FormatSettings().DecimalSeparator = ',';
  EXPECT_DOUBLE_EQ(StrToFloat("12,5"), 12.5);
  EXPECT_EQ(FloatToStr(12.5), "12,5");
  FormatSettings() = saved;
}

TEST(Conversions, NumberTextsConvertOrRaiseTheConversionError) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt(" -7"), -7);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToIntDef("x", 5), 5);
  for (const char* bad : {"", "4 2", "1.5", "abc", "99999999999"})
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
  try {
    StrToInt("abc");
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
  }
  EXPECT_DOUBLE_EQ(StrToFloat(" 12.50 "), 12.5);
  EXPECT_DOUBLE_EQ(StrToFloat("1e3"), 1000);
  for (const char* bad : {"", "1,000.00", "12.5x", ".", "e5"})
    EXPECT_THROW(StrToFloat(bad), EConvertError) << bad;
}

TEST(Conversions, CurrencyTextFollowsTheProcessSettings) {
  TFormatSettings saved = FormatSettings();
  FormatSettings().CurrencyString = "$";
  FormatSettings().CurrencyFormat = 0;
  FormatSettings().NegCurrFormat = 1;
  EXPECT_EQ(CurrToStrF(1234567.005, 2), "$1,234,567.01");
  EXPECT_EQ(CurrToStrF(0, 2), "$0.00");
  EXPECT_EQ(CurrToStrF(-12.5, 2), "-$12.50");
  FormatSettings().CurrencyString = "\x80";
  FormatSettings().CurrencyFormat = 3;
  FormatSettings().NegCurrFormat = 8;
  FormatSettings().ThousandSeparator = '.';
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(CurrToStrF(1500, 2), AnsiString("1.500,00 \x80"));
  EXPECT_EQ(CurrToStrF(-3, 2), AnsiString("-3,00 \x80"));
  EXPECT_EQ(CurrToStrF(1499.5, 0), AnsiString("1.500 \x80"));
  FormatSettings() = saved;
}

// A sum of watched amounts read from files or pages can pass what whole ten-thousandths in a
// double or in 64 bits hold: it is still written, digit for digit, and a sum that is no number
// says so.
TEST(Conversions, CurrencyTextBeyondTheCurrencyRange) {
  TFormatSettings saved = FormatSettings();
  FormatSettings().CurrencyString = "$";
  FormatSettings().CurrencyFormat = 0;
  FormatSettings().NegCurrFormat = 1;
  FormatSettings().ThousandSeparator = ',';
  FormatSettings().DecimalSeparator = '.';
  EXPECT_EQ(CurrToStrF(1e18, 2), "$1,000,000,000,000,000,000.00");
  EXPECT_EQ(CurrToStrF(-1e18, 2), "-$1,000,000,000,000,000,000.00");
  EXPECT_EQ(CurrToStrF(1e12 + 0.25, 2), "$1,000,000,000,000.25");
  EXPECT_EQ(CurrToStrF(std::numeric_limits<double>::infinity(), 2), "INF");
  EXPECT_EQ(CurrToStrF(std::nan(""), 2), "NAN");
  FormatSettings() = saved;
}

// Amounts as a spreadsheet shows them: rounded as money is, no symbol, no grouping.
TEST(Conversions, FixedDecimalsRoundAsMoneyWithoutSymbolOrGrouping) {
  TFormatSettings saved = FormatSettings();
  FormatSettings().ThousandSeparator = ',';
  FormatSettings().DecimalSeparator = '.';
  const struct {
    double value;
    int decimals;
    const char* text;
  } cases[] = {
      {12.5, 2, "12.50"},
      {12.345, 2, "12.35"},
      {0, 2, "0.00"},
      {-3, 2, "-3.00"},
      {-0.001, 2, "0.00"},
      {1234567.5, 2, "1234567.50"},
      {1e18, 2, "1000000000000000000.00"},
      {2.5, 0, "3"},
      {0.1 + 0.2, 2, "0.30"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToStrFixed(c.value, c.decimals), c.text) << c.value;
  EXPECT_EQ(FloatToStrFixed(std::nan(""), 2), "NAN");
  FormatSettings().DecimalSeparator = ',';
  EXPECT_EQ(FloatToStrFixed(12.5, 2), "12,50");
  FormatSettings() = saved;
}

TEST(Conversions, FileNameParts) {
  EXPECT_EQ(ExtractFileName("/tmp/work/12345.tnw"), "12345.tnw");
  EXPECT_EQ(ExtractFileName("C:\\x\\BID.TDL"), "BID.TDL");
  EXPECT_EQ(ExtractFileExt("dir.v1/BID.TDL"), ".TDL");
  EXPECT_EQ(ExtractFileExt("dir.v1/README"), "");
}
