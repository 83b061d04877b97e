// eBay's end-time texts, the clock offset and the time left, on the portal's formats.
#include <cmath>

#include "ScrapingTestSupport.h"
#include "lib/DateTime.h"
#include "lib/Exceptions.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"

namespace {

using EbayTime = ScrapingTest;

constexpr double kHalfSecond = 0.5 * OneSecond;
constexpr double kTolerance = 5 * OneSecond;

TEST_F(EbayTime, ParsesTheEndTimeOfAnItemPage) {
  const TDateTime t = ebayScraper.parseEbayDateTime("Oct-23-05 00:35:02");
  EXPECT_EQ(MillisecondsBetween(t, EncodeDate(2005, 10, 23) + EncodeTime(0, 35, 2, 0)), 0);
  const TDateTime dec = ebayScraper.parseEbayDateTime("dec-31-26 23:59:59");
  EXPECT_EQ(MillisecondsBetween(dec, EncodeDate(2026, 12, 31) + EncodeTime(23, 59, 59, 0)), 0);
}

TEST_F(EbayTime, UnreadableEndTimesGiveNow) {
  for (const char* text : {"Oct-3-05 00:35:02", "undetermined", "", "Oct-32-05 00:35:02"}) {
    const double before = Now();
    const double t = ebayScraper.parseEbayDateTime(text);
    EXPECT_GE(t, before) << text;
    EXPECT_LE(t, Now() + 0.0) << text;
  }
}

TEST_F(EbayTime, MonthNamesInAnyCaseAndJanuaryForTheRest) {
  const struct {
    const char* month;
    const char* number;
  } cases[] = {{"oct", "10"}, {"Oct", "10"}, {"OCT", "10"}, {"Jan", "01"}, {"xyz", "01"},
               {"Feb", "02"}, {"sep", "09"}, {"Dec", "12"}, {"", "01"},    {"October", "01"}};
  for (const auto& c : cases) EXPECT_EQ(ebayScraper.monthToNumber(c.month), c.number) << c.month;
}

TEST_F(EbayTime, MinutesToCloseAtTheTimeLeftBoundaries) {
  // The offset moves eBay's clock: the end lies the given time ahead of (or behind) eBay's now.
  const struct {
    double ahead;  // days from eBay's now to the end
    int minutes;
  } cases[] = {
      {59 * OneMinute + 59 * OneSecond + kHalfSecond, 59},
      {60 * OneMinute + kHalfSecond, 60},
      {1439 * OneMinute + kHalfSecond, 1439},
      {1440 * OneMinute + kHalfSecond, 1440},
      {20 * OneMinute + kHalfSecond, 20},
      {-(90 * OneSecond), 1},  // ended 90 seconds ago
      {-(7 * OneMinute + kHalfSecond), 7},
  };
  const double offset = 0.25;  // local clock six hours ahead of eBay's
  for (const auto& c : cases) {
    const TDateTime end = Now() - offset + c.ahead;
    EXPECT_EQ(ebayScraper.minutesToClose(end, offset), c.minutes) << c.ahead / OneMinute;
  }
}

TEST_F(EbayTime, WholeMinutesBetweenParsedEndTimesNeverLoseAMinute) {
  // An end time read back exactly 20 minutes after another is 20 minutes away, not 19.
  for (int second = 0; second < 60; ++second) {
    const AnsiString s = IntToStr(second);
    const AnsiString ss = second < 10 ? "0" + s : s;
    const TDateTime from = StrToDateTime("10/23/05 00:15:" + ss);
    const TDateTime to = StrToDateTime("10/23/05 00:35:" + ss);
    EXPECT_EQ(MinutesBetween(from, to), 20) << second;
  }
}

TEST_F(EbayTime, OffsetFromTheOfficialTimePage) {
  const double before = Now();
  const double offset = ebayScraper.getEbayTimeOffset(fixturePath("official_time.htm").c_str());
  const double after = Now();
  const double ebayTime = EncodeDate(2026, 12, 8) + EncodeTime(6, 43, 33, 0);
  EXPECT_GE(offset, before - ebayTime - kTolerance);
  EXPECT_LE(offset, after - ebayTime + kTolerance);
}

// ... and no offset at all for a caller that would rather keep the one it has.
TEST_F(EbayTime, AnOfficialTimePageThatMovedItsMarkersGivesAboutZero) {
  EXPECT_NEAR(ebayScraper.getEbayTimeOffset(fixturePath("official_time_moved.htm").c_str()), 0.0,
              kTolerance);
  double offset = 0.25;
  EXPECT_FALSE(
      ebayScraper.readEbayTimeOffset(fixturePath("official_time_moved.htm").c_str(), offset));
  EXPECT_EQ(offset, 0.25);
  EXPECT_TRUE(ebayScraper.readEbayTimeOffset(fixturePath("official_time.htm").c_str(), offset));
  EXPECT_NEAR(offset, ebayScraper.getEbayTimeOffset(fixturePath("official_time.htm").c_str()),
              kTolerance);
}

TEST_F(EbayTime, MissingOfficialTimeFileRaisesTheFileOpenError) {
  EXPECT_THROW(ebayScraper.getEbayTimeOffset("offset.htm"), EFOpenError);
}

TEST_F(EbayTime, TimeLeftInMinutesAndSeconds) {
  const AnsiString endText = "12/08/26 06:43:33";
  const double end = StrToDateTime(endText);
  const struct {
    double ahead;  // days from eBay's now to the end
    const char* text;
  } cases[] = {
      {35 * OneMinute + 12 * OneSecond + kHalfSecond, "35m 12s"},
      {65 * OneMinute + kHalfSecond, "05m 00s"},  // whole hours are not shown
      {59 * OneMinute + 59 * OneSecond + kHalfSecond, "59m 59s"},
      {kHalfSecond, "00m 00s"},
  };
  for (const auto& c : cases) {
    // eBay's now = Now() - offset = end - ahead.
    const double offset = Now() - (end - c.ahead);
    EXPECT_EQ(ebayScraper.getTimeLeftText(endText, offset), c.text) << c.text;
  }
}

TEST_F(EbayTime, TimeLeftOfAPassedEndIsSomeTimeText) {
  const AnsiString endText = "12/08/26 06:43:33";
  const double offset = Now() - (StrToDateTime(endText) + 7 * OneMinute);
  const AnsiString text = ebayScraper.getTimeLeftText(endText, offset);
  EXPECT_EQ(text.Length(), 7) << text.c_str();
  EXPECT_EQ(text.SubString(3, 2), "m ");
}

// The Ends text of a running auction: whole days, else hours and minutes, and in its last hour
// minutes and seconds to the end-time entry's end. An end that has passed, however long ago, is
// no time to go, nor is a last hour whose end has passed.
TEST_F(EbayTime, ClosingTimeTextNeverShowsAPassedEndAsTimeToGo) {
  const TDateTime now = EncodeDate(2026, 12, 8) + EncodeTime(6, 43, 33, 0);
  SetClock([now] { return now; });
  const struct {
    double ahead;          // days from eBay's now to the end
    double lastHourAhead;  // and to the end the last hour counts down to
    const char* text;
  } cases[] = {
      {2 * 24 * OneHour + 3 * OneHour, 0, "2 days"},
      {24 * OneHour, 0, "1 days"},
      {90 * OneMinute + kHalfSecond, 0, "1h 30m"},
      {60 * OneMinute, 0, "1h 0m"},
      {35 * OneMinute + 12 * OneSecond + kHalfSecond, 35 * OneMinute + 12 * OneSecond + kHalfSecond,
       "35m 12s"},
      {30 * OneMinute, 12 * OneMinute + 30 * OneSecond + kHalfSecond, "12m 30s"},
      {kHalfSecond, kHalfSecond, "00m 00s"},
      {-kHalfSecond, -kHalfSecond, "00m 00s"},
      {-(OneMinute + 41 * OneSecond), -(OneMinute + 41 * OneSecond), "00m 00s"},
      {-3 * OneHour, -3 * OneHour, "00m 00s"},
      {-2 * 24 * OneHour - OneMinute, 0, "00m 00s"},
      {30 * OneMinute, -OneMinute, "00m 00s"},
  };
  // Read on eBay's clock: here the local one runs an hour ahead of it.
  const double offset = OneHour;
  for (const auto& c : cases) {
    const TDateTime ebayNow = now - offset;
    EXPECT_EQ(ebayScraper.getClosingTimeText(ebayNow + c.ahead, ebayNow + c.lastHourAhead, offset),
              c.text)
        << c.ahead / OneMinute << " minutes ahead";
  }
  EXPECT_EQ(ebayScraper.getTimeLeftText(DateTimeToStr(now - offset - 101 * OneSecond), offset),
            "00m 00s");
  SetClock({});
}

TEST_F(EbayTime, TimeLeftOfAnUnconvertibleEndRaisesTheConversionError) {
  EXPECT_THROW(ebayScraper.getTimeLeftText("Oct-23-05 00:35:02", 0.0), EConvertError);
  EXPECT_THROW(ebayScraper.getTimeLeftText("undetermined", 0.0), EConvertError);
}

}  // namespace
