// The NTLM challenge as a server or proxy sends it, and the answer built from it.
// Input: the challenge message's bytes; they are read as they arrive (base64) and the input is
// also read as if it were the base64 text itself. Properties: a message is read only when it
// holds the fixed header, its challenge is bytes 24 to 31, every name lies inside the message,
// and the third message built on the challenge is whole: each field lies inside it.
#include <string>

#include "FuzzSupport.h"
#include "netcomp/Mimeutil.h"
#include "netcomp/NtlmMsgs.h"

namespace {

constexpr std::size_t kChallengeHeader = 32;

std::size_t get16(const std::string& in, std::size_t at) {
  return static_cast<std::uint8_t>(in[at]) |
         static_cast<std::size_t>(static_cast<std::uint8_t>(in[at + 1])) << 8;
}

std::size_t get32(const std::string& in, std::size_t at) {
  return get16(in, at) | get16(in, at + 2) << 16;
}

void requireWholeThirdMessage(const AnsiString& encoded) {
  const std::string message = Base64Decode(encoded).str();
  FUZZ_REQUIRE(message.size() >= 64 && message.compare(0, 8, std::string("NTLMSSP\0", 8)) == 0,
               "third message header");
  for (std::size_t field = 12; field <= 44; field += 8) {
    const std::size_t length = get16(message, field);
    const std::size_t offset = get32(message, field + 4);
    FUZZ_REQUIRE(length == get16(message, field + 2), "field lengths differ");
    FUZZ_REQUIRE(offset <= message.size() && length <= message.size() - offset,
                 "a field of the third message lies outside it");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(AsText(data, size));
  const TNTLM_Msg2_Info info = NtlmGetMessage2(Base64Encode(AnsiString(bytes)));
  FUZZ_REQUIRE(info.Ready == (size >= kChallengeHeader), "Ready");
  if (info.Ready) {
    for (std::size_t i = 0; i < 8; ++i)
      FUZZ_REQUIRE(info.Challenge[i] == static_cast<std::uint8_t>(bytes[24 + i]), "challenge");
    FUZZ_REQUIRE(info.TargetName.size() <= size && info.DomainName.size() <= size &&
                     info.ServerName.size() <= size,
                 "a name is longer than the message");
    // The names and the password of the answer come from the message too.
    const AnsiString user(bytes.substr(0, 20));
    const AnsiString password(bytes.substr(8, 30));
    requireWholeThirdMessage(
        NtlmGetMessage3("", AnsiString(bytes.substr(4, 9)), user, password, info.Challenge));
  }
  (void)NtlmGetMessage2(AnsiString(bytes));
  return 0;
}
