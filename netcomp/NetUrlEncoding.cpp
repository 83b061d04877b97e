// URL encoding and the hexadecimal digit functions of NetUrl.
#include "netcomp/NetUrl.h"

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsXDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

int XDigit(char c) {
  if (IsDigit(c)) return c - '0';
  return (static_cast<unsigned char>(c) & 15) + 9;
}

int htoin(const char* value, int n) {
  int i = 0;
  while (i < n && value[i] == ' ') ++i;
  unsigned result = 0;  // wraps on overlong input instead of overflowing
  for (; i < n && IsXDigit(value[i]); ++i)
    result = result * 16 + static_cast<unsigned>(XDigit(value[i]));
  return static_cast<int>(result);
}

int htoi2(const char* value) { return htoin(value, 2); }

AnsiString UrlEncode(const AnsiString& text) {
  static const char hex[] = "0123456789ABCDEF";
  AnsiString result;
  for (char c : text.str()) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      result += c;
    } else {
      result += '%';
      result += hex[byte >> 4];
      result += hex[byte & 15];
    }
  }
  return result;
}

AnsiString UrlDecode(const AnsiString& text) {
  const std::string& s = text.str();
  AnsiString result;
  for (std::size_t i = 0; i < s.size() && s[i] != '&'; ++i) {
    if (s[i] == '+') {
      result += ' ';
    } else if (s[i] == '%' && i + 2 < s.size()) {
      result += static_cast<char>(htoi2(s.c_str() + i + 1));
      i += 2;
    } else {
      // A "%" without two characters after it is kept as it is.
      result += s[i];
    }
  }
  return result;
}
