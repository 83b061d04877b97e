// The unit functions of HttpProt: RFC 1123 dates, file extensions, line encodings and the
// directory part of a URL.
#include <cstdio>

#include "lib/SysUtils.h"
#include "netcomp/HttpProt.h"
#include "netcomp/Mimeutil.h"

namespace {
constexpr char kDayNames[] = "MonTueWedThuFriSatSun";
constexpr char kMonthNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";

int numberAt(const AnsiString& text, int index, int count) {
  return StrToIntDefault(text.SubString(index, count), 0);
}
}  // namespace

AnsiString RFC1123_Date(TDateTime aDate) {
  int year, month, day, hour, minute, second, msec;
  DecodeDate(aDate, year, month, day);
  DecodeTime(aDate, hour, minute, second, msec);
  const long long days = static_cast<long long>(aDate.Val);
  const int weekday = static_cast<int>(((days - 2) % 7 + 7) % 7);
  char text[64];
  std::snprintf(text, sizeof text, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d",
                kDayNames + weekday * 3, day, kMonthNames + (month - 1) * 3, year, hour, minute,
                second);
  return AnsiString(text);
}

// "Ddd, dd Mmm yyyy hh:nn:ss": the month name stands at characters 9 to 11.
TDateTime RFC1123_StrToDate(const AnsiString& aDate) {
  const int day = numberAt(aDate, 6, 2);
  const AnsiString monthName = aDate.SubString(9, 3);
  const int at = monthName.Length() == 3 ? Pos(monthName, AnsiString(kMonthNames)) : 0;
  if (at == 0 || (at - 1) % 3 != 0) throw EConvertError("'" + aDate + "' is not a valid date");
  const int month = (at - 1) / 3 + 1;
  const int year = numberAt(aDate, 13, 4);
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date))
    throw EConvertError("'" + aDate + "' is not a valid date");
  return date.Val + EncodeTime(numberAt(aDate, 18, 2) % 24, numberAt(aDate, 21, 2) % 60,
                               numberAt(aDate, 24, 2) % 60, 0)
                        .Val;
}

void ReplaceExt(AnsiString& FName, const AnsiString& newExt) {
  const auto dot = FName.str().rfind('.');
  if (dot == std::string::npos)
    FName += "." + newExt;
  else
    FName = AnsiString(FName.str().substr(0, dot + 1)) + newExt;
}

AnsiString EncodeLine(THttpEncoding Encoding, const char* SrcData, int Size) {
  if (Encoding != encUUEncode) return Base64Encode(AnsiString(SrcData, Size));
  std::string out;
  out += static_cast<char>((Size - 1 + 64) % 64 + 33);
  auto sixBits = [&out](unsigned v) { out += v == 0 ? '`' : static_cast<char>(v + 32); };
  for (int i = 0; i < Size; i += 3) {
    unsigned b[3] = {0, 0, 0};
    for (int k = 0; k < 3 && i + k < Size; ++k) b[k] = static_cast<unsigned char>(SrcData[i + k]);
    sixBits(b[0] >> 2);
    sixBits(((b[0] & 3) << 4) | (b[1] >> 4));
    sixBits(((b[1] & 15) << 2) | (b[2] >> 6));
    sixBits(b[2] & 63);
  }
  return AnsiString(std::move(out));
}

AnsiString EncodeStr(THttpEncoding Encoding, const AnsiString& Value) {
  return EncodeLine(Encoding, Value.c_str(), Value.Length());
}

int StrToIntDefault(const AnsiString& S, int Default) { return StrToIntDef(S, Default); }

AnsiString UrlDirectory(const AnsiString& Url) {
  const std::string& s = Url.str();
  const std::size_t query = s.find('?');
  const std::string head = s.substr(0, query);
  const std::size_t last = head.find_last_of("/:");
  if (last == std::string::npos) return AnsiString();
  return AnsiString(head.substr(0, last + 1));
}
