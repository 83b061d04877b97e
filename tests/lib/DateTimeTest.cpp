#include <gtest/gtest.h>

#include <cmath>

#include "lib/DateTime.h"
#include "lib/Exceptions.h"
#include "lib/FormatSettings.h"

namespace {
class EndTimeFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    FormatSettings().ShortDateFormat = "mm/dd/yy";
    FormatSettings().LongTimeFormat = "hh:mm:ss";
    FormatSettings().DateSeparator = '/';
    FormatSettings().TimeSeparator = ':';
  }
  void TearDown() override { FormatSettings() = saved_; }
  TFormatSettings saved_;
};
}  // namespace

TEST_F(EndTimeFormat, WritesAndReadsTheEndTimeText) {
  const TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(6, 43, 33, 0);
  EXPECT_EQ(DateTimeToStr(t), "12/08/26 06:43:33");
  EXPECT_EQ(TimeToStr(t), "06:43:33");
  EXPECT_DOUBLE_EQ(StrToDateTime("12/08/26 06:43:33").Val, t.Val);
  EXPECT_EQ(DateTimeToStr(EncodeDate(2027, 1, 1)), "01/01/27 00:00:00");  // midnight kept
}

TEST_F(EndTimeFormat, ReadsLooseButValidTextsAndRefusesTheRest) {
  EXPECT_DOUBLE_EQ(StrToDateTime("1/2/2027").Val, EncodeDate(2027, 1, 2).Val);
  EXPECT_DOUBLE_EQ(StrToDateTime("12/08/26 6:43").Val,
                   EncodeDate(2026, 12, 8) + EncodeTime(6, 43, 0, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("12/08/26 06:43:33 PM").Val,
                   EncodeDate(2026, 12, 8) + EncodeTime(18, 43, 33, 0));
  for (const char* bad :
       {"", "WON", "13/01/26 00:00:00", "02/30/26", "12/08/26 25:00:00", "12/08/26 06:43:33 x"})
    EXPECT_THROW(StrToDateTime(bad), EConvertError) << bad;
  try {
    StrToDateTime("LOST");
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'LOST' is not a valid date and time");
  }
  const TDateTime fallback = 123.0;
  EXPECT_DOUBLE_EQ(StrToDateTimeDef("ENDED", fallback).Val, 123.0);
}

// Before day 0 (30 December 1899) a date-time is the day's serial plus the time of day, as
// after it, so the text names the day the time belongs to and reads back to the same value.
TEST_F(EndTimeFormat, DatesBeforeDayZeroKeepTheirDayAndTime) {
  FormatSettings().ShortDateFormat = "yyyy/mm/dd";
  for (const TDateTime t :
       {EncodeDate(1899, 12, 29) + EncodeTime(21, 5, 37, 0),
        EncodeDate(1800, 1, 1) + EncodeTime(12, 0, 0, 0), EncodeDate(1899, 12, 29).Val}) {
    int y, m, d;
    DecodeDate(t, y, m, d);
    EXPECT_DOUBLE_EQ(EncodeDate(y, m, d).Val, std::floor(t.Val)) << t.Val;
    EXPECT_NEAR(StrToDateTime(DateTimeToStr(t)).Val, t.Val, OneSecond / 10) << t.Val;
  }
  EXPECT_EQ(DateTimeToStr(EncodeDate(1899, 12, 29) + EncodeTime(21, 5, 37, 0)),
            "1899/12/29 21:05:37");
}

TEST_F(EndTimeFormat, MinutesAreCountedFromWholeMilliseconds) {
  const TDateTime start = EncodeDate(2026, 12, 8) + EncodeTime(10, 0, 0, 0);
  for (int minutes : {19, 20, 59, 60, 1439, 1440}) {
    const TDateTime later = start.Val + minutes * OneMinute;
    EXPECT_EQ(MinutesBetween(later, start), minutes);
    EXPECT_EQ(MinutesBetween(start, later), minutes);
  }
  EXPECT_EQ(MinutesBetween(start, start.Val + 20 * OneMinute - OneSecond), 19);
  EXPECT_EQ(SecondsBetween(start, start.Val + 90 * OneSecond), 90);
}

TEST_F(EndTimeFormat, MinutesAfterTheHourPatternLetterIsMinutes) {
  const TDateTime t = EncodeDate(2026, 3, 4) + EncodeTime(5, 7, 9, 0);
  EXPECT_EQ(FormatDateTime("mm/dd/yy hh:mm:ss", t), "03/04/26 05:07:09");
  EXPECT_EQ(FormatDateTime("yyyy-m-d h:nn", t), "2026-3-4 5:07");
}

TEST(DateTime, DecodesWhatItEncodes) {
  int y, m, d, h, mi, s, ms;
  const TDateTime t = EncodeDate(2000, 2, 29) + EncodeTime(23, 59, 59, 999);
  DecodeDate(t, y, m, d);
  DecodeTime(t, h, mi, s, ms);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
  EXPECT_EQ(h * 10000000 + mi * 100000 + s * 1000 + ms, 235959999);
  EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30).Val, 0.0);
  EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
}
