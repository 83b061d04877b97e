#pragma once
// The NTLM (version 1) password hashes and the responses to a server's challenge.
#include <array>
#include <cstdint>

#include "lib/AnsiString.h"
#include "netcomp/NetDes.h"

using TNtlmChallenge = std::array<std::uint8_t, 8>;
using TNtlmHash = std::array<std::uint8_t, 16>;
using TNtlmResponse = std::array<std::uint8_t, 24>;

// 7 bytes (56 bits, most significant first) spread over 8 DES key bytes, 7 bits at the top
// of each; the unused lowest bit is 0.
TDesBlock NtlmDesKey(const std::uint8_t* sevenBytes);
// LM hash: the password upper-cased (ASCII), cut or zero-padded to 14 bytes, each half a key
// that encrypts "KGS!@#$%".
TNtlmHash NtlmLmHash(const AnsiString& password);
// NT hash: MD4 of the password widened to UTF-16LE, byte for byte.
TNtlmHash NtlmNtHash(const AnsiString& password);
// The hash and 5 zero bytes cut into three keys, each encrypting the challenge.
TNtlmResponse NtlmChallengeResponse(const TNtlmHash& hash, const TNtlmChallenge& challenge);
