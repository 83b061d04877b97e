// Quoted-printable, its line splitting, and the SMTP dot escape. Properties: the encoding is
// printable and gives its bytes back; split into lines of at most 76 characters, each but the
// last ended by a soft break, it still decodes to them; decoding any text ends or raises the
// conversion error; the dot escape leaves no line that begins with a single dot and is undone
// by taking one dot off each line that begins with one.
#include <string>

#include "FuzzSupport.h"
#include "lib/Exceptions.h"
#include "netcomp/Mimeutil.h"

namespace {

void requireSoftLines(const std::string& split) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = split.find("\r\n", start);
    const std::size_t length = (end == std::string::npos ? split.size() : end) - start;
    FUZZ_REQUIRE(length <= 76, "a split line is longer than 76 characters");
    if (end == std::string::npos) return;
    FUZZ_REQUIRE(end > start && split[end - 1] == '=', "a split line lacks its soft break");
    start = end + 2;
  }
}

// Undoes DotEscape: one dot off the start of the text and off each line's start.
std::string undoDotEscape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool lineStart = i == 0 || (i >= 2 && text[i - 2] == '\r' && text[i - 1] == '\n');
    if (lineStart && text[i] == '.' && i + 1 < text.size() && text[i + 1] == '.') ++i;
    out += text[i];
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const AnsiString input(AsText(data, size));
  const AnsiString encoded = EncodeQuotedPrintable(input);
  for (char c : encoded.str())
    FUZZ_REQUIRE(c >= 32 && c <= 126, "EncodeQuotedPrintable wrote an unprintable byte");
  FUZZ_REQUIRE(DecodeQuotedPrintable(encoded) == input, "Decode(Encode(x)) != x");
  const AnsiString split = SplitQuotedPrintableString(encoded);
  requireSoftLines(split.str());
  FUZZ_REQUIRE(DecodeQuotedPrintable(split) == input, "Decode(Split(Encode(x))) != x");

  try {
    const AnsiString decoded = DecodeQuotedPrintable(input);
    FUZZ_REQUIRE(decoded.Length() <= input.Length(), "decoding grew the text");
  } catch (const EConvertError&) {
    // An escape that is no hexadecimal number: the documented refusal.
  }
  (void)SplitQuotedPrintableString(input);

  AnsiString escaped = input;
  DotEscape(escaped);
  FUZZ_REQUIRE(undoDotEscape(escaped.str()) == input.str(), "DotEscape is not undone");
  (void)FilenameToContentType(input);
  return 0;
}
