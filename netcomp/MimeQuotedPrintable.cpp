// Quoted-printable encoding, decoding and soft line breaks.
#include "lib/Exceptions.h"
#include "lib/SysUtils.h"
#include "netcomp/Mimeutil.h"
#include "netcomp/NetUrl.h"

AnsiString EncodeQuotedPrintable(const AnsiString& S) {
  static const char hex[] = "0123456789ABCDEF";
  AnsiString out;
  for (char c : S.str()) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '=' || byte < 32 || byte > 126) {
      out += '=';
      out += hex[byte >> 4];
      out += hex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

AnsiString SplitQuotedPrintableString(const AnsiString& S) {
  constexpr int kMaxLine = 76;
  constexpr int kPiece = kMaxLine - 1;  // room for the "=" of the soft break
  if (S.Length() <= kMaxLine) return S;
  AnsiString out;
  int start = 1;
  while (S.Length() - start + 1 > kPiece) {
    int length = kPiece;
    // Never cut an "=XY" escape: end the piece before its "=".
    if (S[start + length - 1] == '=')
      length -= 1;
    else if (S[start + length - 2] == '=')
      length -= 2;
    out += S.SubString(start, length) + "=\r\n";
    start += length;
  }
  return out + S.SubString(start, S.Length());
}

AnsiString DecodeQuotedPrintable(const AnsiString& S) {
  const std::string& s = S.str();
  AnsiString out;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '=') {
      out += s[i++];
      continue;
    }
    if (i + 1 >= s.size()) break;  // a final "=" ends the text
    if (s[i + 1] == '\r') {
      i += 3;  // soft line break: "=", CR and LF
      continue;
    }
    const AnsiString digits = S.SubString(static_cast<int>(i) + 2, 2);
    for (char c : digits.str())
      if (!IsXDigit(c)) throw EConvertError("'$" + digits + "' is not a valid integer value");
    out += static_cast<char>(StrToInt("$" + digits));
    i += 3;
  }
  return out;
}
