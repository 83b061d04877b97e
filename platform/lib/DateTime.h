#pragma once
// TDateTime: days since 1899-12-30 as a double, the fraction being the time of day.
#include <functional>

#include "lib/AnsiString.h"

struct TDateTime {
  double Val = 0.0;
  TDateTime() = default;
  TDateTime(double value) : Val(value) {}  // NOLINT: implicit as in the library
  operator double() const { return Val; }  // NOLINT
};

// The local time, from the system clock or from the clock a test installed.
TDateTime Now();
// Installs the clock that Now() (and Date() and Time() with it) reads, so that a test can pass
// a deadline without waiting; an empty function brings back the system clock.
void SetClock(std::function<TDateTime()> clock);
TDateTime Date();
TDateTime Time();

TDateTime EncodeDate(int year, int month, int day);  // EConvertError on a bad date
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// Formats with the class library's pattern letters (d dd m mm yy yyyy h hh n nn s ss, "/" and
// ":" standing for the process-wide separators, text in quotes literal).
AnsiString FormatDateTime(const AnsiString& format, TDateTime value);
// ShortDateFormat, a blank, LongTimeFormat. The time is written even at midnight so that every
// end-time text has one shape.
AnsiString DateTimeToStr(TDateTime value);
AnsiString DateToStr(TDateTime value);
AnsiString TimeToStr(TDateTime value);

// Reads a date and an optional time in the order of ShortDateFormat, with the process-wide
// separators; a two-digit year means 2000 + yy. EConvertError "'x' is not a valid date and
// time" on bad text.
TDateTime StrToDateTime(const AnsiString& text);
TDateTime StrToDateTimeDef(const AnsiString& text, TDateTime fallback);
bool TryStrToDateTime(const AnsiString& text, TDateTime& value);

// Whole units between two date-times, counted from whole milliseconds so that floating-point
// noise never turns 20 minutes into 19; the result is never negative.
std::int64_t MillisecondsBetween(TDateTime a, TDateTime b);
std::int64_t SecondsBetween(TDateTime a, TDateTime b);
std::int64_t MinutesBetween(TDateTime a, TDateTime b);

inline constexpr double OneHour = 1.0 / 24;
inline constexpr double OneMinute = 1.0 / (24 * 60);
inline constexpr double OneSecond = 1.0 / (24 * 60 * 60);
