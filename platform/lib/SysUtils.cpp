#include "lib/SysUtils.h"

#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "lib/Exceptions.h"
#include "lib/FormatSettings.h"

namespace {

bool isBlank(unsigned char c) { return c <= ' '; }

// The C library reads and writes numbers with the decimal point of LC_NUMERIC, which Qt's
// application takes from the environment (a comma under de_DE and many others). The number
// texts here are made and read in the C locale, and the settings alone say the separator.
locale_t cLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return c;
}

// Puts this thread in the C locale for its lifetime.
class CLocaleScope {
 public:
  CLocaleScope() : saved_(uselocale(cLocale())) {}
  ~CLocaleScope() { uselocale(saved_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t saved_;
};

unsigned char upperByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  switch (c) {
    case 0x9A:
      return 0x8A;  // s caron
    case 0x9C:
      return 0x8C;  // oe
    case 0x9E:
      return 0x8E;  // z caron
    case 0xFF:
      return 0x9F;  // y diaeresis
    default:
      return c;
  }
}

unsigned char lowerByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  switch (c) {
    case 0x8A:
      return 0x9A;
    case 0x8C:
      return 0x9C;
    case 0x8E:
      return 0x9E;
    case 0x9F:
      return 0xFF;
    default:
      return c;
  }
}

int sign(int v) { return (v > 0) - (v < 0); }

// The locale collation: letters compared without case first, then lower case before upper
// case, as the user locale orders words.
int collate(const std::string& a, const std::string& b, bool ignoreCase) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = lowerByte(a[i]), y = lowerByte(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  if (ignoreCase) return 0;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = a[i], y = b[i];
    if (x != y) return lowerByte(x) == x ? -1 : 1;  // the lower-case letter sorts first
  }
  return 0;
}

AnsiString mapBytes(const AnsiString& text, unsigned char (*map)(unsigned char)) {
  std::string out = text.str();
  for (char& c : out) c = static_cast<char>(map(static_cast<unsigned char>(c)));
  return AnsiString(std::move(out));
}

AnsiString asciiMap(const AnsiString& text, bool upper) {
  std::string out = text.str();
  for (char& c : out) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return AnsiString(std::move(out));
}

// Groups the digits of an integer part with the thousands separator.
std::string groupThousands(const std::string& digits, char separator) {
  std::string out;
  const int n = static_cast<int>(digits.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

}  // namespace

AnsiString LeftStr(const AnsiString& text, int count) {
  if (count <= 0) return {};
  return text.SubString(1, count);
}

AnsiString RightStr(const AnsiString& text, int count) {
  if (count <= 0) return {};
  if (count >= text.Length()) return text;
  return text.SubString(text.Length() - count + 1, count);
}

AnsiString MidStr(const AnsiString& text, int start, int count) {
  return text.SubString(start, count);
}

int Pos(const AnsiString& sub, const AnsiString& text) { return text.Pos(sub); }
int AnsiPos(const AnsiString& sub, const AnsiString& text) { return text.Pos(sub); }

AnsiString Trim(const AnsiString& text) { return TrimLeft(TrimRight(text)); }

AnsiString TrimLeft(const AnsiString& text) {
  const std::string& s = text.str();
  std::size_t b = 0;
  while (b < s.size() && isBlank(s[b])) ++b;
  return AnsiString(s.substr(b));
}

AnsiString TrimRight(const AnsiString& text) {
  const std::string& s = text.str();
  std::size_t e = s.size();
  while (e > 0 && isBlank(s[e - 1])) --e;
  return AnsiString(s.substr(0, e));
}

AnsiString UpperCase(const AnsiString& text) { return asciiMap(text, true); }
AnsiString LowerCase(const AnsiString& text) { return asciiMap(text, false); }
AnsiString AnsiUpperCase(const AnsiString& text) { return mapBytes(text, upperByte); }
AnsiString AnsiLowerCase(const AnsiString& text) { return mapBytes(text, lowerByte); }

int AnsiStrComp(const char* a, const char* b) { return collate(a ? a : "", b ? b : "", false); }
int AnsiStrIComp(const char* a, const char* b) { return collate(a ? a : "", b ? b : "", true); }
int AnsiCompareStr(const AnsiString& a, const AnsiString& b) {
  return collate(a.str(), b.str(), false);
}
int AnsiCompareText(const AnsiString& a, const AnsiString& b) {
  return collate(a.str(), b.str(), true);
}
int CompareStr(const AnsiString& a, const AnsiString& b) { return sign(a.str().compare(b.str())); }
int CompareText(const AnsiString& a, const AnsiString& b) {
  return CompareStr(UpperCase(a), UpperCase(b));
}
bool SameText(const AnsiString& a, const AnsiString& b) { return CompareText(a, b) == 0; }

AnsiString StringReplace(const AnsiString& text, const AnsiString& oldPattern,
                         const AnsiString& newPattern, const TReplaceFlags& flags) {
  if (oldPattern.IsEmpty()) return text;
  const bool all = flags.count(rfReplaceAll) > 0;
  const bool ignoreCase = flags.count(rfIgnoreCase) > 0;
  const std::string haystack = ignoreCase ? AnsiUpperCase(text).str() : text.str();
  const std::string needle = ignoreCase ? AnsiUpperCase(oldPattern).str() : oldPattern.str();
  std::string out;
  std::size_t from = 0;
  while (true) {
    std::size_t at = haystack.find(needle, from);
    if (at == std::string::npos) break;
    out.append(text.str(), from, at - from);
    out += newPattern.str();
    from = at + needle.size();
    if (!all) break;
  }
  out.append(text.str(), from, std::string::npos);
  return AnsiString(std::move(out));
}

AnsiString IntToStr(std::int64_t value) { return AnsiString(std::to_string(value)); }

int StrToInt(const AnsiString& text) {
  const std::string& s = text.str();
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) throw EConvertError("'" + text + "' is not a valid integer value");
  std::int64_t value = 0;
  for (; i < s.size(); ++i) {
    int digit;
    const char c = s[i];
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      throw EConvertError("'" + text + "' is not a valid integer value");
    value = value * base + digit;
    if (value > static_cast<std::int64_t>(std::numeric_limits<int>::max()) + 1)
      throw EConvertError("'" + text + "' is not a valid integer value");
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max())
    throw EConvertError("'" + text + "' is not a valid integer value");
  return static_cast<int>(value);
}

int StrToIntDef(const AnsiString& text, int fallback) {
  try {
    return StrToInt(text);
  } catch (const EConvertError&) {
    return fallback;
  }
}

bool TryStrToFloat(const AnsiString& text, double& value) {
  return TryStrToFloat(text, value, FormatSettings());
}

bool TryStrToFloat(const AnsiString& text, double& value, const TFormatSettings& settings) {
  // Blanks at both ends, a sign, digits with the settings' decimal separator, an exponent.
  std::string s = Trim(text).str();
  if (s.empty()) return false;
  const char decimal = settings.DecimalSeparator;
  std::string c;
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') c += s[i++];
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) c += s[i++], digits = true;
  if (i < s.size() && s[i] == decimal) {
    c += '.';
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
      c += s[i++], digits = true;
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    c += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) c += s[i++];
    bool expDigits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
      c += s[i++], expDigits = true;
    if (!expDigits) return false;
  }
  if (i != s.size()) return false;
  errno = 0;
  double v = strtod_l(c.c_str(), nullptr, cLocale());
  if (errno == ERANGE && std::isinf(v)) return false;
  value = v;
  return true;
}

double StrToFloat(const AnsiString& text) {
  double value;
  if (!TryStrToFloat(text, value))
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return value;
}

AnsiString FloatToStr(double value) { return FloatToStr(value, FormatSettings()); }

AnsiString FloatToStr(double value, const TFormatSettings& settings) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  char buf[64];
  {
    const CLocaleScope inC;
    std::snprintf(buf, sizeof buf, "%.14e", value);  // 15 significant digits
  }
  std::string s = buf;
  const auto e = s.find('e');
  const int exponent = std::atoi(s.c_str() + e + 1);
  std::string mantissa = s.substr(0, e);
  const bool negative = mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  std::string digits = mantissa.substr(0, 1) + mantissa.substr(2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const char decimal = settings.DecimalSeparator;
  std::string out;
  if (exponent >= 15 || exponent < -4) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += decimal + digits.substr(1);
    out += "E" + std::to_string(exponent);
  } else if (exponent < 0) {
    out = "0";
    out += decimal;
    out += std::string(-exponent - 1, '0') + digits;
  } else {
    const std::size_t intLen = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intLen) {
      out = digits + std::string(intLen - digits.size(), '0');
    } else {
      out = digits.substr(0, intLen) + decimal + digits.substr(intLen);
    }
  }
  return AnsiString(negative ? "-" + out : out);
}

namespace {

// A finite amount's digits with a fixed count of decimals, rounded as money is.
struct FixedDigits {
  bool negative = false;
  std::string whole, frac;
};

FixedDigits fixedDigits(double value, int decimals) {
  FixedDigits digits;
  // Up to here a double holds every ten-thousandth exactly (2^53 of them).
  constexpr double kExactTicksLimit = 9007199254740992.0 / 10000.0;
  if (std::fabs(value) < kExactTicksLimit) {
    // Currency keeps whole ten-thousandths (rounded to nearest); the shown decimals are then
    // rounded half away from zero in whole numbers, free of binary noise.
    const std::int64_t ticks = std::llround(value * 10000.0);
    std::int64_t unit = 1;
    for (int i = decimals; i < 4; ++i) unit *= 10;
    const std::int64_t scaled = (std::llabs(ticks) + unit / 2) / unit;  // in 10^-decimals
    std::int64_t divisor = 1;
    for (int i = 0; i < decimals; ++i) divisor *= 10;
    digits.negative = ticks < 0 && scaled != 0;
    digits.whole = std::to_string(scaled / divisor);
    if (decimals > 0) {
      digits.frac = std::to_string(scaled % divisor);
      digits.frac.insert(0, static_cast<std::size_t>(decimals) - digits.frac.size(), '0');
    }
  } else {
    // Beyond it a double holds no exact ten-thousandths: its own digits are written.
    char text[400];
    const CLocaleScope inC;
    std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value));
    const std::string written = text;
    const std::size_t point = written.find('.');
    digits.whole = written.substr(0, point);
    digits.frac = point == std::string::npos ? std::string() : written.substr(point + 1);
    digits.negative = value < 0;
  }
  return digits;
}

}  // namespace

AnsiString FloatToStrFixed(double value, int decimals) {
  decimals = std::clamp(decimals, 0, 4);
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  const FixedDigits digits = fixedDigits(value, decimals);
  std::string text = (digits.negative ? "-" : "") + digits.whole;
  if (decimals > 0) text += FormatSettings().DecimalSeparator + digits.frac;
  return AnsiString(text);
}

AnsiString CurrToStrF(double value, int decimals) {
  const TFormatSettings& fs = FormatSettings();
  decimals = std::clamp(decimals, 0, 4);
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  const FixedDigits digits = fixedDigits(value, decimals);
  const bool negative = digits.negative;
  const std::string& whole = digits.whole;
  const std::string& frac = digits.frac;
  std::string amount = groupThousands(whole, fs.ThousandSeparator);
  if (decimals > 0) amount += fs.DecimalSeparator + frac;
  const std::string cur = fs.CurrencyString.str();
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1:
        return AnsiString(amount + cur);
      case 2:
        return AnsiString(cur + " " + amount);
      case 3:
        return AnsiString(amount + " " + cur);
      default:
        return AnsiString(cur + amount);
    }
  }
  const std::string& a = amount;
  const std::string& c = cur;
  static const char* const kForms[16] = {"(CA)", "-CA",  "C-A",   "CA-",  "(AC)", "-AC",
                                         "A-C",  "AC-",  "-A C",  "-C A", "A C-", "C A-",
                                         "C -A", "A- C", "(C A)", "(A C)"};
  std::string out;
  for (const char* p = kForms[std::clamp(fs.NegCurrFormat, 0, 15)]; *p; ++p) {
    if (*p == 'C')
      out += c;
    else if (*p == 'A')
      out += a;
    else
      out += *p;
  }
  return AnsiString(out);
}

AnsiString ExtractFileName(const AnsiString& path) {
  const std::string& s = path.str();
  const auto at = s.find_last_of("/\\:");
  return AnsiString(at == std::string::npos ? s : s.substr(at + 1));
}

AnsiString ExtractFileExt(const AnsiString& path) {
  const AnsiString name = ExtractFileName(path);
  const auto at = name.str().rfind('.');
  return at == std::string::npos ? AnsiString() : AnsiString(name.str().substr(at));
}

bool FileExists(const AnsiString& name) {
  std::error_code ec;
  return std::filesystem::is_regular_file(name.str(), ec);
}

bool DeleteFile(const AnsiString& name) { return std::remove(name.c_str()) == 0; }

AnsiString GetCurrentDir() {
  std::error_code ec;
  return AnsiString(std::filesystem::current_path(ec).string());
}
