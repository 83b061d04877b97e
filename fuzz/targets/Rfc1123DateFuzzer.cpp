// RFC 1123 dates as servers write them ("Sun, 06 Nov 1994 08:49:37"), and back.
// Properties: a text either converts or raises the conversion error; the date it gives is
// written as a date that reads back to the same second; any date of the years 1 to 9999 is
// written in the fixed format and reads back to its second.
#include <cmath>
#include <cstring>

#include "FuzzSupport.h"
#include "lib/Exceptions.h"
#include "netcomp/HttpProt.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;

void requireRoundTrip(TDateTime date) {
  const AnsiString text = RFC1123_Date(date);
  FUZZ_REQUIRE(text.Length() == 25, "RFC1123_Date wrote '" + text.str() + "'");
  TDateTime back;
  try {
    back = RFC1123_StrToDate(text);
  } catch (const EConvertError&) {
    FUZZ_REQUIRE(false, "RFC1123_Date wrote '" + text.str() + "', which does not read back");
  }
  // The date to the millisecond, then cut to its second, as the text shows it.
  const double whole =
      std::floor(static_cast<double>(std::llround(date.Val * 86400000.0)) / 1000.0) / 86400.0;
  FUZZ_REQUIRE(std::fabs(back.Val - whole) < kSecond / 2, "'" + text.str() + "' read back wrong");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const AnsiString input(AsText(data, size));
  try {
    requireRoundTrip(RFC1123_StrToDate(input));
  } catch (const EConvertError&) {
    // Not a date: the documented refusal.
  }
  if (size >= sizeof(double)) {
    double value;
    std::memcpy(&value, data, sizeof value);
    // Day 1 of year 1 to the last second of 9999, in days from 30 December 1899.
    constexpr double first = -693593.0, last = 2958465.0 + 86399.0 / 86400.0;
    if (std::isfinite(value) && value >= first && value <= last) requireRoundTrip(TDateTime(value));
  }
  return 0;
}
