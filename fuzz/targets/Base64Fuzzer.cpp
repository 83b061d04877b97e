// Base64 both ways. Properties: Base64Encode writes the alphabet and padding in groups of four,
// 4 characters for every 3 bytes begun, and Base64Decode gives its bytes back; decoding any
// text gives at most 3 bytes for each group of 4 characters begun.
#include "FuzzSupport.h"
#include "netcomp/Mimeutil.h"

namespace {

bool isBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/' || c == '=';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const AnsiString input(AsText(data, size));
  const AnsiString encoded = Base64Encode(input);
  FUZZ_REQUIRE(encoded.Length() == static_cast<int>((size + 2) / 3 * 4), "encoded length");
  for (int i = 1; i <= encoded.Length(); ++i)
    FUZZ_REQUIRE(isBase64Character(encoded[i]), "Base64Encode wrote a byte outside the alphabet");
  FUZZ_REQUIRE(Base64Decode(encoded) == input, "Base64Decode(Base64Encode(x)) != x");

  const AnsiString decoded = Base64Decode(input);
  FUZZ_REQUIRE(decoded.Length() <= static_cast<int>((size + 3) / 4 * 3), "decoded length");
  return 0;
}
