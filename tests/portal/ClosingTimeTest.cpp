// The Ends text of a watched auction from its page: days, hours and minutes, and under an hour
// minutes and seconds from its end-time entry.
#include <QRegularExpression>
#include <cstdio>

#include "MainWindowFixture.h"

namespace {

// An item page holding only the title with the end time, as the site writes it.
TStringList pageEnding(TDateTime end) {
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int year, month, day, hour, minute, second, ms;
  DecodeDate(end, year, month, day);
  DecodeTime(end, hour, minute, second, ms);
  char text[96];
  std::snprintf(text, sizeof text,
                "<title>Lamp (item 123 end time %s-%02d-%02d %02d:%02d:%02d PST)",
                months[month - 1], day, year % 100, hour, minute, second);
  TStringList page;
  page.Add(text);
  page.Add("</title>");
  return page;
}

class ClosingTimeTest : public MainWindowFixture {
 protected:
  // The Ends text of item 123 ending the given whole minutes (and half a minute) from now.
  static std::string endsIn(int minutes) {
    TStringList page = pageEnding(Now() + minutes * OneMinute + 30 * OneSecond);
    return frmMain->getSIClosingTime("123", &page).str();
  }
};

TEST_F(ClosingTimeTest, DaysHoursAndMinutesAtTheirBoundaries) {
  const struct {
    int minutes;
    const char* text;
  } cases[] = {{60, "1h 0m"},    {307, "5h 7m"},   {1439, "23h 59m"},
               {1440, "1 days"}, {2879, "1 days"}, {2880, "2 days"}};
  for (const auto& c : cases) EXPECT_EQ(endsIn(c.minutes), c.text) << c.minutes;
}

// Under an hour the entry's end time gives the text; without an entry the page's own does.
TEST_F(ClosingTimeTest, UnderAnHourMinutesAndSecondsComeFromTheEndTimeEntry) {
  const TDateTime entryEnd = Now() + 12 * OneMinute + 30 * OneSecond;
  addRow(frmMain->lvAllTdate, {"123", DateTimeToStr(entryEnd).str(), "1"});
  EXPECT_TRUE(QRegularExpression("^1[12]m \\d\\ds$").match(endsIn(59).c_str()).hasMatch())
      << endsIn(59);

  frmMain->lvAllTdate->Items()->Clear();
  EXPECT_TRUE(QRegularExpression("^59m \\d\\ds$").match(endsIn(59).c_str()).hasMatch())
      << endsIn(59);
}

}  // namespace
