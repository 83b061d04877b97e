#pragma once
// Single-block DES (FIPS 46), used for the LM hash and the NTLM responses. Bits are numbered
// from the most significant bit of the first byte; the lowest bit of each key byte (parity)
// is not used.
#include <array>
#include <cstdint>

using TDesBlock = std::array<std::uint8_t, 8>;

// One block under Key: encrypts when Encrypt is true, else decrypts.
void DES(const TDesBlock& Input, TDesBlock& Output, const TDesBlock& Key, bool Encrypt);
