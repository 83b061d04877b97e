#include "netcomp/NetMD4.h"

#include <cstring>

namespace {

std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (~x & z); }
std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return (x & y) | (x & z) | (y & z);
}
std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }

void RequireInitialized(const TMD4Context& context) {
  if (!context.Initialized) throw MD4Exception("MD4 not initialized");
}

}  // namespace

void MD4Init(TMD4Context& Context) {
  MD4Burn(Context);
  Context.State[0] = 0x67452301;
  Context.State[1] = 0xEFCDAB89;
  Context.State[2] = 0x98BADCFE;
  Context.State[3] = 0x10325476;
  Context.Initialized = true;
}

void MD4Burn(TMD4Context& Context) { Context = TMD4Context{}; }

void MD4Compress(TMD4Context& Context) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = static_cast<std::uint32_t>(Context.Buffer[4 * i]) |
           static_cast<std::uint32_t>(Context.Buffer[4 * i + 1]) << 8 |
           static_cast<std::uint32_t>(Context.Buffer[4 * i + 2]) << 16 |
           static_cast<std::uint32_t>(Context.Buffer[4 * i + 3]) << 24;
  std::uint32_t a = Context.State[0], b = Context.State[1], c = Context.State[2],
                d = Context.State[3];

  // Round 1: words in order, shifts 3 7 11 19.
  static const int s1[4] = {3, 7, 11, 19};
  for (int i = 0; i < 16; ++i) {
    const std::uint32_t t = RotateLeft(a + F(b, c, d) + x[i], s1[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  // Round 2: words by column, shifts 3 5 9 13, constant 0x5A827999.
  static const int s2[4] = {3, 5, 9, 13};
  static const int order2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
  for (int i = 0; i < 16; ++i) {
    const std::uint32_t t = RotateLeft(a + G(b, c, d) + x[order2[i]] + 0x5A827999, s2[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  // Round 3: words in bit-reversed order, shifts 3 9 11 15, constant 0x6ED9EBA1.
  static const int s3[4] = {3, 9, 11, 15};
  static const int order3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  for (int i = 0; i < 16; ++i) {
    const std::uint32_t t = RotateLeft(a + H(b, c, d) + x[order3[i]] + 0x6ED9EBA1, s3[i % 4]);
    a = d, d = c, c = b, b = t;
  }

  Context.State[0] += a;
  Context.State[1] += b;
  Context.State[2] += c;
  Context.State[3] += d;
  std::memset(Context.Buffer, 0, sizeof Context.Buffer);
  Context.BufferCount = 0;
}

void MD4Update(TMD4Context& Context, const void* Data, std::uint32_t Count) {
  RequireInitialized(Context);
  const std::uint32_t low = Context.BitCountLow + (Count << 3);
  if (low < Context.BitCountLow) ++Context.BitCountHigh;  // carry into the high word
  Context.BitCountLow = low;
  Context.BitCountHigh += Count >> 29;

  const auto* bytes = static_cast<const std::uint8_t*>(Data);
  while (Count > 0) {
    const std::uint32_t room = 64 - Context.BufferCount;
    const std::uint32_t take = Count < room ? Count : room;
    std::memcpy(Context.Buffer + Context.BufferCount, bytes, take);
    Context.BufferCount += take;
    bytes += take;
    Count -= take;
    if (Context.BufferCount == 64) MD4Compress(Context);
  }
}

void MD4UpdateStr(TMD4Context& Context, const AnsiString& Text) {
  MD4Update(Context, Text.c_str(), static_cast<std::uint32_t>(Text.Length()));
}

void MD4Final(TMD4Context& Context, TMD4Digest& Digest) {
  RequireInitialized(Context);
  Context.Buffer[Context.BufferCount++] = 0x80;
  if (Context.BufferCount > 56) MD4Compress(Context);
  const std::uint32_t counts[2] = {Context.BitCountLow, Context.BitCountHigh};
  for (int word = 0; word < 2; ++word)
    for (int i = 0; i < 4; ++i)
      Context.Buffer[56 + 4 * word + i] = static_cast<std::uint8_t>(counts[word] >> (8 * i));
  MD4Compress(Context);
  for (int word = 0; word < 4; ++word)
    for (int i = 0; i < 4; ++i)
      Digest[4 * word + i] = static_cast<std::uint8_t>(Context.State[word] >> (8 * i));
  MD4Burn(Context);
}

AnsiString MD4String(const AnsiString& Text) {
  TMD4Context context;
  MD4Init(context);
  MD4UpdateStr(context, Text);
  TMD4Digest digest;
  MD4Final(context, digest);
  return AnsiString(reinterpret_cast<const char*>(digest.data()), 16);
}
