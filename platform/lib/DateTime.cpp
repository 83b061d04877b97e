#include "lib/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "lib/Exceptions.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr std::int64_t kUnixEpochSerial = 25569;  // 1970-01-01 as a day serial

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int daysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Whole milliseconds since the serial's epoch, rounded so that noise below a millisecond
// never shifts a whole unit.
std::int64_t toMs(TDateTime t) { return std::llround(t.Val * kMsPerDay); }

std::string pad(int value, int width) {
  std::string s = std::to_string(value);
  return s.size() < static_cast<std::size_t>(width) ? std::string(width - s.size(), '0') + s : s;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Reads the blank-separated parts of a date or time text.
class Scanner {
 public:
  explicit Scanner(const std::string& s) : s_(s) {}
  void skipBlanks() {
    while (i_ < s_.size() && s_[i_] == ' ') ++i_;
  }
  bool number(int& value, int& digits) {
    skipBlanks();
    digits = 0;
    value = 0;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
      if (digits < 9) value = value * 10 + (s_[i_] - '0');
      ++digits;
      ++i_;
    }
    return digits > 0;
  }
  bool character(char c) {
    skipBlanks();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool word(const char* w) {
    skipBlanks();
    std::size_t j = i_;
    for (const char* p = w; *p; ++p, ++j)
      if (j >= s_.size() || lower(s_[j]) != lower(*p)) return false;
    i_ = j;
    return true;
  }
  bool atEnd() {
    skipBlanks();
    return i_ >= s_.size();
  }
  std::size_t mark() const { return i_; }
  void reset(std::size_t at) { i_ = at; }

 private:
  const std::string& s_;
  std::size_t i_ = 0;
};

// The order of day, month and year in the short date format: "MDY", "DMY" or "YMD".
std::string dateOrder() {
  std::string order;
  for (char c : FormatSettings().ShortDateFormat.str()) {
    const char l = lower(c);
    if ((l == 'd' || l == 'm' || l == 'y') &&
        order.find(static_cast<char>(l - 32)) == std::string::npos)
      order += static_cast<char>(l - 32);
  }
  return order.size() == 3 ? order : "MDY";
}

bool scanDate(Scanner& in, TDateTime& date) {
  const char sep = FormatSettings().DateSeparator;
  int n[3], digits[3];
  int count = 0;
  if (!in.number(n[0], digits[0])) return false;
  count = 1;
  while (count < 3) {
    const std::size_t at = in.mark();
    if (!in.character(sep) || !in.number(n[count], digits[count])) {
      in.reset(at);
      break;
    }
    ++count;
  }
  if (count < 2) return false;
  const std::string order = dateOrder();
  int y = 0, m = 0, d = 0, yearDigits = 0;
  if (count == 2) {  // no year: this year, in the order of the format without the year
    int cy, cm, cd;
    DecodeDate(Date(), cy, cm, cd);
    y = cy;
    yearDigits = 4;
    std::string dm = order;
    dm.erase(dm.find('Y'), 1);
    (dm[0] == 'M' ? m : d) = n[0];
    (dm[0] == 'M' ? d : m) = n[1];
  } else {
    for (int i = 0; i < 3; ++i) {
      if (order[i] == 'Y') y = n[i], yearDigits = digits[i];
      if (order[i] == 'M') m = n[i];
      if (order[i] == 'D') d = n[i];
    }
  }
  if (yearDigits <= 2) y += 2000;
  return TryEncodeDate(y, m, d, date);
}

bool scanTime(Scanner& in, double& time) {
  const char sep = FormatSettings().TimeSeparator;
  int h, mi = 0, s = 0, ms = 0, digits;
  if (!in.number(h, digits)) return false;
  if (!in.character(sep) || !in.number(mi, digits)) return false;
  if (in.character(sep)) {
    if (!in.number(s, digits)) return false;
    if (in.character('.')) {
      if (!in.number(ms, digits)) return false;
    }
  }
  if (in.word("pm")) {
    if (h > 12 || h == 0) return false;
    if (h < 12) h += 12;
  } else if (in.word("am")) {
    if (h > 12 || h == 0) return false;
    if (h == 12) h = 0;
  }
  if (h > 23 || mi > 59 || s > 59 || ms > 999) return false;
  time = EncodeTime(h, mi, s, ms).Val;
  return true;
}

// The clock a test installed; empty for the system clock.
std::function<TDateTime()>& installedClock() {
  static std::function<TDateTime()> clock;
  return clock;
}

}  // namespace

void SetClock(std::function<TDateTime()> clock) { installedClock() = std::move(clock); }

TDateTime Now() {
  if (installedClock()) return installedClock()();
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&secs, &local);
  const int ms =
      static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).Val +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, ms < 0 ? 0 : ms).Val;
}

TDateTime Date() { return std::floor(Now().Val); }

TDateTime Time() {
  const double n = Now().Val;
  return n - std::floor(n);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, month))
    return false;
  result = static_cast<double>(daysFromCivil(year, month, day) + kUnixEpochSerial);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result))
    throw EConvertError("Invalid argument to date encode");
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999)
    throw EConvertError("Invalid argument to time encode");
  return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / kMsPerDay;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  // Rounded down, not toward zero: before the serial's day 0 the time of day counts forward
  // from an earlier midnight, as DecodeTime reads it.
  const std::int64_t ms = toMs(value);
  const auto msPerDay = static_cast<std::int64_t>(kMsPerDay);
  const std::int64_t days = ms / msPerDay - (ms % msPerDay < 0 ? 1 : 0);
  civilFromDays(days - kUnixEpochSerial, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  std::int64_t ms = toMs(value) % static_cast<std::int64_t>(kMsPerDay);
  if (ms < 0) ms += static_cast<std::int64_t>(kMsPerDay);
  msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  second = static_cast<int>(ms % 60);
  ms /= 60;
  minute = static_cast<int>(ms % 60);
  hour = static_cast<int>(ms / 60);
}

AnsiString FormatDateTime(const AnsiString& format, TDateTime value) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(value, y, mo, d);
  DecodeTime(value, h, mi, s, ms);
  const TFormatSettings& fs = FormatSettings();
  const std::string& f = format.str();
  std::string out;
  char lastToken = 0;
  for (std::size_t i = 0; i < f.size();) {
    const char c = f[i];
    const char l = lower(c);
    std::size_t run = 1;
    while (i + run < f.size() && lower(f[i + run]) == l) ++run;
    if (c == '"' || c == '\'') {
      const auto end = f.find(c, i + 1);
      out += f.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
      i = end == std::string::npos ? f.size() : end + 1;
      continue;
    }
    if (l == 'c') {
      out += DateTimeToStr(value).str();
      i += 1;
      continue;
    }
    switch (l) {
      case 'd':
        out += run >= 2 ? pad(d, 2) : std::to_string(d);
        break;
      case 'y':
        out += run >= 3 ? pad(y, 4) : pad(y % 100, 2);
        break;
      case 'm':
        if (lastToken == 'h')
          out += run >= 2 ? pad(mi, 2) : std::to_string(mi);
        else
          out += run >= 2 ? pad(mo, 2) : std::to_string(mo);
        break;
      case 'h':
        out += run >= 2 ? pad(h, 2) : std::to_string(h);
        break;
      case 'n':
        out += run >= 2 ? pad(mi, 2) : std::to_string(mi);
        break;
      case 's':
        out += run >= 2 ? pad(s, 2) : std::to_string(s);
        break;
      case 'z':
        out += run >= 3 ? pad(ms, 3) : std::to_string(ms);
        break;
      case '/':
        out.append(run, fs.DateSeparator);
        break;
      case ':':
        out.append(run, fs.TimeSeparator);
        break;
      default:
        out.append(f, i, run);
        break;
    }
    if (l == 'd' || l == 'y' || l == 'm' || l == 'h' || l == 'n' || l == 's' || l == 'z')
      lastToken = l;
    i += run;
  }
  return AnsiString(std::move(out));
}

AnsiString DateTimeToStr(TDateTime value) {
  const TFormatSettings& fs = FormatSettings();
  return FormatDateTime(fs.ShortDateFormat, value) + " " + FormatDateTime(fs.LongTimeFormat, value);
}

AnsiString DateToStr(TDateTime value) {
  return FormatDateTime(FormatSettings().ShortDateFormat, value);
}

AnsiString TimeToStr(TDateTime value) {
  return FormatDateTime(FormatSettings().LongTimeFormat, value);
}

bool TryStrToDateTime(const AnsiString& text, TDateTime& value) {
  Scanner in(text.str());
  TDateTime date = 0.0;
  double time = 0.0;
  const std::size_t start = in.mark();
  if (scanDate(in, date)) {
    if (!in.atEnd() && !scanTime(in, time)) return false;
  } else {
    in.reset(start);
    date = 0.0;
    if (!scanTime(in, time)) return false;
  }
  if (!in.atEnd()) return false;
  value = date.Val + time;
  return true;
}

TDateTime StrToDateTime(const AnsiString& text) {
  TDateTime value;
  if (!TryStrToDateTime(text, value))
    throw EConvertError("'" + text + "' is not a valid date and time");
  return value;
}

TDateTime StrToDateTimeDef(const AnsiString& text, TDateTime fallback) {
  TDateTime value;
  return TryStrToDateTime(text, value) ? value : fallback;
}

std::int64_t MillisecondsBetween(TDateTime a, TDateTime b) { return std::llabs(toMs(a) - toMs(b)); }
std::int64_t SecondsBetween(TDateTime a, TDateTime b) { return MillisecondsBetween(a, b) / 1000; }
std::int64_t MinutesBetween(TDateTime a, TDateTime b) { return MillisecondsBetween(a, b) / 60000; }
