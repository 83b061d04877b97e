// eBay's end-time texts, the clock offset to eBay's official time and the time left.
#include <array>

#include "lib/DateTime.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "scraping/TextCuts.h"

TDateTime TEbayScraper::parseEbayDateTime(const AnsiString& endText) const {
  const TDateTime fallback = Now();
  TDateTime value;
  return tryParseEbayDateTime(endText, value) ? value : fallback;
}

bool TEbayScraper::tryParseEbayDateTime(const AnsiString& endText, TDateTime& value) const {
  const AnsiString text = replaceAllText(endText, "/", "-");
  // "Oct/23/05 00:35:02" becomes "10/23/05 00:35:02".
  const AnsiString dated = monthToNumber(LeftStr(text, 3)) + RightStr(text, 15);
  return TryStrToDateTime(dated, value);
}

AnsiString TEbayScraper::monthToNumber(const AnsiString& month) const {
  static const std::array<const char*, 11> laterMonths{"FEB", "MAR", "APR", "MAY", "JUN", "JUL",
                                                       "AUG", "SEP", "OCT", "NOV", "DEC"};
  const AnsiString upper = AnsiUpperCase(month);
  AnsiString number = "01";
  for (std::size_t i = 0; i < laterMonths.size(); ++i) {
    if (upper == laterMonths[i]) {
      const int n = static_cast<int>(i) + 2;
      number = AnsiString(n < 10 ? "0" : "") + IntToStr(n);
    }
  }
  return number;
}

int TEbayScraper::minutesToClose(TDateTime end, double offset) const {
  const TDateTime ebayNow = Now() - offset;
  // Counted from whole milliseconds, so an end exactly 20 minutes away reads as 20, never 19.
  return static_cast<int>(MinutesBetween(ebayNow, end));
}

double TEbayScraper::getEbayTimeOffset(const AnsiString& fileName) const {
  const TDateTime ebayTime = parseEbayDateTime(officialTimeText(fileName));
  return Now() - ebayTime;
}

bool TEbayScraper::readEbayTimeOffset(const AnsiString& fileName, double& offset) const {
  const AnsiString text = officialTimeText(fileName);
  TDateTime ebayTime;
  if (!tryParseEbayDateTime(text, ebayTime)) return false;
  offset = Now() - ebayTime;
  return true;
}

AnsiString TEbayScraper::officialTimeText(const AnsiString& fileName) const {
  AnsiString text;
  {
    TStringList page;
    page.LoadFromFile(fileName);  // EFOpenError when the file cannot be opened
    text = page.Text();
  }
  // Behind the marker and 7 characters: "Tuesday, December 08, 2026 06:43:33 PST".
  const int p = text.Pos("<p>The official eBay Time is now:</p>");
  text = RightStr(text, text.Length() - p - 43);
  text = RightStr(text, text.Length() - text.Pos(", ") - 1);  // the weekday goes
  text = scraping::cutBefore(text, " P");                     // the zone goes
  // "December 08, 2026 06:43:33" becomes "December-08-26 06:43:33".
  text = replaceFirstText(text, "-", " ");
  return replaceFirstText(text, "-", ", 20");
}

// "hh:mm:ss" gives "mm:ss", shown as "35m 12s"; whole hours and days are not shown. A time
// that is not left (an end that has passed) is none: "00m 00s", never the time of day that a
// negative difference would wrap to.
AnsiString TEbayScraper::minutesSecondsText(double left) const {
  const AnsiString minutesSeconds = TimeToStr(left > 0 ? left : 0.0).SubString(4, 5);
  return replaceFirstText(minutesSeconds, "m ", ":") + "s";
}

AnsiString TEbayScraper::getTimeLeftText(const AnsiString& endText, double offset) const {
  const TDateTime end = StrToDateTime(endText);  // EConvertError on a text that does not convert
  return minutesSecondsText(end - (Now() - offset));
}

AnsiString TEbayScraper::getClosingTimeText(TDateTime end, TDateTime lastHourEnd,
                                            double offset) const {
  const TDateTime ebayNow = Now() - offset;
  if (!(end > ebayNow)) return minutesSecondsText(0);
  // Counted from whole milliseconds, as minutesToClose counts them.
  const std::int64_t minutes = MinutesBetween(ebayNow, end);
  if (minutes >= 60) {
    const std::int64_t days = minutes / 1440;
    if (days > 0) return IntToStr(days) + " days";
    return IntToStr(minutes / 60) + "h " + IntToStr(minutes % 60) + "m";
  }
  return minutesSecondsText(lastHourEnd - ebayNow);
}
