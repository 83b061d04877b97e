#include "netcomp/NtlmResponses.h"

#include "lib/SysUtils.h"
#include "netcomp/NetMD4.h"

TDesBlock NtlmDesKey(const std::uint8_t* sevenBytes) {
  TDesBlock key{};
  for (int bit = 0; bit < 56; ++bit)
    if (sevenBytes[bit / 8] & (0x80 >> (bit % 8)))
      key[bit / 7] |= static_cast<std::uint8_t>(0x80 >> (bit % 7));
  return key;
}

namespace {

// Encrypts block under each 7-byte key in turn, the results one after another in out.
void EncryptUnderKeys(const TDesBlock& block, const std::uint8_t* keys, int count,
                      std::uint8_t* out) {
  for (int part = 0; part < count; ++part) {
    TDesBlock result;
    DES(block, result, NtlmDesKey(keys + 7 * part), true);
    for (int i = 0; i < 8; ++i) out[8 * part + i] = result[i];
  }
}

}  // namespace

TNtlmHash NtlmLmHash(const AnsiString& password) {
  static const TDesBlock kLmConstant = {'K', 'G', 'S', '!', '@', '#', '$', '%'};
  std::uint8_t padded[14] = {};
  const AnsiString upper = UpperCase(password);
  for (int i = 0; i < 14 && i < upper.Length(); ++i)
    padded[i] = static_cast<std::uint8_t>(upper.str()[static_cast<std::size_t>(i)]);
  TNtlmHash hash{};
  EncryptUnderKeys(kLmConstant, padded, 2, hash.data());
  return hash;
}

TNtlmHash NtlmNtHash(const AnsiString& password) {
  TMD4Context context;
  MD4Init(context);
  for (char c : password.str()) {
    const std::uint8_t unit[2] = {static_cast<std::uint8_t>(c), 0};
    MD4Update(context, unit, 2);
  }
  TNtlmHash hash;
  MD4Final(context, hash);
  return hash;
}

TNtlmResponse NtlmChallengeResponse(const TNtlmHash& hash, const TNtlmChallenge& challenge) {
  std::uint8_t keys[21] = {};
  for (int i = 0; i < 16; ++i) keys[i] = hash[i];
  TNtlmResponse response{};
  EncryptUnderKeys(challenge, keys, 3, response.data());
  return response;
}
