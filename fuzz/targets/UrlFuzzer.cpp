// ParseURL of any reference against any base path, and the URL coding both ways.
// Input: the base path, a line feed, the reference. Properties: a scheme is lower case and
// made of the scheme characters; UrlEncode writes only letters, digits and escapes, and
// UrlDecode gives its input back; Posn's last occurrence is an occurrence.
#include <cctype>
#include <string>

#include "FuzzSupport.h"
#include "netcomp/NetUrl.h"

namespace {

bool isSchemeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool isAlphanumeric(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = AsText(data, size);
  const std::size_t lineEnd = input.find('\n');
  const AnsiString base(lineEnd == std::string_view::npos ? std::string_view()
                                                          : input.substr(0, lineEnd));
  const AnsiString url(lineEnd == std::string_view::npos ? input : input.substr(lineEnd + 1));

  AnsiString proto, user, pass, host, port, path = base;
  ParseURL(url, proto, user, pass, host, port, path);
  for (char c : proto.str()) FUZZ_REQUIRE(isSchemeCharacter(c), "scheme '" + proto.str() + "'");
  if (url.IsEmpty())
    FUZZ_REQUIRE(proto.IsEmpty() && host.IsEmpty() && path.IsEmpty(), "empty URL gave parts");

  const AnsiString whole(input);
  const AnsiString encoded = UrlEncode(whole);
  for (int i = 1; i <= encoded.Length(); ++i)
    FUZZ_REQUIRE(isAlphanumeric(encoded[i]) || encoded[i] == '%', "UrlEncode wrote a bare byte");
  FUZZ_REQUIRE(encoded.Length() >= whole.Length(), "UrlEncode lost bytes");
  FUZZ_REQUIRE(UrlDecode(encoded) == whole, "UrlDecode(UrlEncode(x)) != x");
  FUZZ_REQUIRE(UrlDecode(whole).Length() <= whole.Length(), "UrlDecode grew its input");

  if (!url.IsEmpty()) {
    const AnsiString needle = url.SubString(1, 1 + static_cast<int>(url.Length() > 3));
    const int last = Posn(needle, base, -1);
    FUZZ_REQUIRE(last == 0 || base.SubString(last, needle.Length()) == needle,
                 "Posn -1 is no occurrence");
    const int first = Posn(needle, base, 1);
    FUZZ_REQUIRE(last == 0 ? first > base.Length() : first >= 1 && first <= last,
                 "Posn 1 and -1 disagree");
  }
  const int digits = static_cast<int>(std::min<std::size_t>(input.size(), 7));
  const int value = htoin(input.data(), digits);
  FUZZ_REQUIRE(value >= 0, "htoin of at most 7 digits is negative");
  return 0;
}
