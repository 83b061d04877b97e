#include "smtp/NetMD5.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "lib/Exceptions.h"

namespace {

std::uint32_t rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

AnsiString hexUpper(const TMD5Digest& d) {
  char out[33];
  for (int i = 0; i < 16; ++i) std::snprintf(out + 2 * i, 3, "%02X", d[i]);
  return AnsiString(out, 32);
}

}  // namespace

void MD5Transform(std::uint32_t State[4], const std::uint8_t Block[64]) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = std::uint32_t(Block[4 * i]) | std::uint32_t(Block[4 * i + 1]) << 8 |
           std::uint32_t(Block[4 * i + 2]) << 16 | std::uint32_t(Block[4 * i + 3]) << 24;
  std::uint32_t a = State[0], b = State[1], c = State[2], d = State[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    const int round = i / 16;
    if (round == 0) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (round == 1) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (round == 2) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const std::uint32_t next = b + rotl(a + f + kSine[i] + x[g], kShift[round][i % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  State[0] += a;
  State[1] += b;
  State[2] += c;
  State[3] += d;
}

void MD5Init(TMD5Context& Context) {
  std::memset(&Context, 0, sizeof Context);
  Context.State[0] = 0x67452301;
  Context.State[1] = 0xefcdab89;
  Context.State[2] = 0x98badcfe;
  Context.State[3] = 0x10325476;
}

void MD5Update(TMD5Context& Context, const void* Buffer, std::uint32_t Len) {
  const auto* in = static_cast<const std::uint8_t*>(Buffer);
  std::uint32_t have = (Context.Count[0] >> 3) & 63;
  const std::uint32_t low = Context.Count[0] + (Len << 3);
  if (low < Context.Count[0]) ++Context.Count[1];
  Context.Count[0] = low;
  Context.Count[1] += Len >> 29;
  while (Len > 0) {
    const std::uint32_t take = std::min<std::uint32_t>(64 - have, Len);
    std::memcpy(Context.BufChar + have, in, take);
    have += take;
    in += take;
    Len -= take;
    if (have == 64) {
      MD5Transform(Context.State, Context.BufChar);
      have = 0;
    }
  }
}

void MD5UpdateBuffer(TMD5Context& Context, const void* Buffer, std::uint32_t Len) {
  constexpr std::uint32_t kWork = 16384;
  std::vector<std::uint8_t> work(kWork);
  const auto* in = static_cast<const std::uint8_t*>(Buffer);
  while (Len > 0) {
    const std::uint32_t piece = std::min(kWork, Len);
    std::memcpy(work.data(), in, piece);
    MD5Update(Context, work.data(), piece);
    in += piece;
    Len -= piece;
  }
}

void MD5Final(TMD5Digest& Digest, TMD5Context& Context) {
  std::uint8_t bits[8];
  for (int i = 0; i < 4; ++i) {
    bits[i] = std::uint8_t(Context.Count[0] >> (8 * i));
    bits[4 + i] = std::uint8_t(Context.Count[1] >> (8 * i));
  }
  const std::uint32_t have = (Context.Count[0] >> 3) & 63;
  const std::uint32_t padLen = have < 56 ? 56 - have : 120 - have;
  std::uint8_t padding[64] = {0x80};
  MD5Update(Context, padding, padLen);
  MD5Update(Context, bits, 8);
  for (int i = 0; i < 16; ++i) Digest[i] = std::uint8_t(Context.State[i / 4] >> (8 * (i % 4)));
  std::memset(&Context, 0, sizeof Context);
}

AnsiString GetMD5(const void* Buffer, std::uint32_t Len) {
  TMD5Context context;
  TMD5Digest digest;
  MD5Init(context);
  MD5UpdateBuffer(context, Buffer, Len);
  MD5Final(digest, context);
  return hexUpper(digest);
}

AnsiString StrMD5(const AnsiString& Buffer) {
  return GetMD5(Buffer.c_str(), static_cast<std::uint32_t>(Buffer.Length()));
}

AnsiString FileMD5(const AnsiString& FileName) {
  std::ifstream file(FileName.str(), std::ios::binary);
  if (!file) throw EFOpenError("Cannot open file \"" + FileName + "\"");
  TMD5Context context;
  TMD5Digest digest;
  MD5Init(context);
  std::vector<char> block(102400);
  while (file) {
    file.read(block.data(), static_cast<std::streamsize>(block.size()));
    const auto got = static_cast<std::uint32_t>(file.gcount());
    if (got > 0) MD5UpdateBuffer(context, block.data(), got);
  }
  MD5Final(digest, context);
  return hexUpper(digest);
}

TMD5Digest HmacMD5(const AnsiString& Key, const AnsiString& Text) {
  TMD5Context context;
  TMD5Digest inner, outer;
  // RFC 2104: a key longer than the block is replaced by its digest (cutting it would make
  // a digest no server computes).
  AnsiString key = Key;
  if (key.Length() > 64) {
    TMD5Digest keyDigest;
    MD5Init(context);
    MD5UpdateBuffer(context, Key.c_str(), static_cast<std::uint32_t>(Key.Length()));
    MD5Final(keyDigest, context);
    key = AnsiString(reinterpret_cast<const char*>(keyDigest.data()), 16);
  }
  std::uint8_t ipad[64], opad[64];
  std::memset(ipad, 0x36, 64);
  std::memset(opad, 0x5C, 64);
  for (int i = 0; i < key.Length(); ++i) {
    ipad[i] ^= static_cast<std::uint8_t>(key.c_str()[i]);
    opad[i] ^= static_cast<std::uint8_t>(key.c_str()[i]);
  }
  MD5Init(context);
  MD5Update(context, ipad, 64);
  MD5UpdateBuffer(context, Text.c_str(), static_cast<std::uint32_t>(Text.Length()));
  MD5Final(inner, context);
  MD5Init(context);
  MD5Update(context, opad, 64);
  MD5Update(context, inner.data(), 16);
  MD5Final(outer, context);
  return outer;
}
