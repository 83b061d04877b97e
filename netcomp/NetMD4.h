#pragma once
// The MD4 message digest (RFC 1320), used for the NT password hash.
#include <array>
#include <cstdint>

#include "lib/AnsiString.h"
#include "lib/Exceptions.h"

struct TMD4Context {
  bool Initialized = false;
  std::uint32_t BitCountHigh = 0;
  std::uint32_t BitCountLow = 0;
  std::uint32_t BufferCount = 0;  // bytes waiting in Buffer
  std::uint32_t State[4] = {};
  std::uint8_t Buffer[64] = {};
};

using TMD4Digest = std::array<std::uint8_t, 16>;

// Raised by MD4Update and MD4Final on a context that is not initialised (or already final).
class MD4Exception : public Exception {
 public:
  using Exception::Exception;
};

void MD4Init(TMD4Context& Context);
void MD4Update(TMD4Context& Context, const void* Data, std::uint32_t Count);
void MD4UpdateStr(TMD4Context& Context, const AnsiString& Text);
// Pads, gives the digest and wipes the context (MD4Burn).
void MD4Final(TMD4Context& Context, TMD4Digest& Digest);
void MD4Burn(TMD4Context& Context);
// The digest of a text's bytes, as a text of 16 bytes.
AnsiString MD4String(const AnsiString& Text);
// The block function: adds the rounds over Buffer to State, then clears the buffer.
void MD4Compress(TMD4Context& Context);
