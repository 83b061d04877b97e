// Addresses, dates and message ids of the SMTP client.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "smtp/SmtpProt.h"

namespace {

// Cuts a list at every "," or ";" outside double quotes into trimmed, non-empty pieces.
std::vector<AnsiString> splitAddressList(const AnsiString& List) {
  std::vector<AnsiString> pieces;
  std::string piece;
  bool quoted = false;
  auto flush = [&] {
    const AnsiString trimmed = AnsiString(piece).Trim();
    if (!trimmed.IsEmpty()) pieces.push_back(trimmed);
    piece.clear();
  };
  for (char c : List.str()) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ',' || c == ';'))
      flush();
    else
      piece += c;
  }
  flush();
  return pieces;
}

}  // namespace

void ParseEmail(const AnsiString& FromData, AnsiString& FriendlyName, AnsiString& Email) {
  FriendlyName = "";
  Email = "";
  const std::string& s = FromData.str();
  const bool hasAngle = s.find('<') != std::string::npos;
  std::size_t at = s.find_first_not_of(' ');
  if (at == std::string::npos) return;
  // The text between the next "<" from `from` and the following ">" (or the end).
  auto angled = [&](std::size_t from) {
    const std::size_t open = s.find('<', from);
    if (open == std::string::npos) return AnsiString();
    const std::size_t close = s.find('>', open + 1);
    return AnsiString(
        s.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
  };
  if (s[at] == '"' || s[at] == '\'') {
    const std::size_t close = s.find(s[at], at + 1);
    FriendlyName = AnsiString(
        s.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1));
    const std::size_t after = close == std::string::npos ? s.size() : close + 1;
    Email = hasAngle ? angled(after) : AnsiString(s.substr(after)).Trim();
  } else if (hasAngle) {
    FriendlyName = AnsiString(s.substr(at, s.find('<') - at)).Trim();
    Email = angled(at);
  } else {
    const std::size_t space = s.find(' ', at);
    FriendlyName =
        AnsiString(s.substr(at, space == std::string::npos ? std::string::npos : space - at))
            .Trim();
    if (space != std::string::npos) Email = AnsiString(s.substr(space + 1)).Trim();
  }
  if (Email.IsEmpty() && FriendlyName.Pos("@") > 0) {
    Email = FriendlyName;
    FriendlyName = "";
  }
}

TDateTime TimeZoneBias() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local)) return 0.0;
  // tm_gmtoff is local minus UTC, daylight saving included; the bias is UTC minus local.
  const long biasMinutes = -local.tm_gmtoff / 60;
  const double magnitude = static_cast<double>(biasMinutes < 0 ? -biasMinutes : biasMinutes);
  const double days =
      (static_cast<int>(magnitude) / 60) / 24.0 + (static_cast<int>(magnitude) % 60) / 1440.0;
  return biasMinutes < 0 ? -days : days;
}

AnsiString Rfc822DateTime(TDateTime t) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const TDateTime utc = t.Val + TimeZoneBias().Val;
  int year, month, day, hour, minute, second, msec;
  DecodeDate(utc, year, month, day);
  DecodeTime(utc, hour, minute, second, msec);
  // Day 1 (1899-12-31) was a Sunday.
  long whole = static_cast<long>(utc.Val);
  if (utc.Val < 0 && static_cast<double>(whole) != utc.Val) --whole;
  const int weekday = static_cast<int>(((whole - 1) % 7 + 7) % 7);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %4d %02d:%02d:%02d GMT", kDays[weekday], day,
                kMonths[month - 1], year, hour, minute, second);
  return text;
}

int SmtpRandom(int Range) {
  static std::minstd_rand random(
      static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
  return Range > 0 ? static_cast<int>(random() % static_cast<unsigned>(Range)) : 0;
}

AnsiString GenerateMessageID() {
  AnsiString id = FormatDateTime("yyyymmddhhnnsszzz", Now().Val + TimeZoneBias().Val) + ".";
  char group[8];
  for (int i = 0; i < 4; ++i) {
    std::snprintf(group, sizeof group, "%04X", static_cast<unsigned>(SmtpRandom(32767)));
    id += group;
  }
  return id + "@" + LocalHostName();
}

void TCustomSmtpClient::RcptNameAdd(const AnsiString& ToList, const AnsiString& CcList,
                                    const AnsiString& BccList) {
  for (const auto& address : splitAddressList(ToList + ";" + CcList + ";" + BccList))
    FRcptName->Add(address);
}

void TCustomSmtpClient::addAddressLines(const AnsiString& Label, const AnsiString& Value) {
  const auto pieces = splitAddressList(Value);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    AnsiString line = i == 0 ? Label.Trim() + " " + pieces[i] : "\t" + pieces[i];
    if (i + 1 < pieces.size()) line += ',';
    FHdrLines->Add(line);
  }
}
