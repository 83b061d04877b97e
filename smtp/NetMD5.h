#pragma once
// The MD5 message digest (RFC 1321), and HMAC-MD5 (RFC 2104) for the CRAM-MD5 login.
#include <array>
#include <cstdint>

#include "lib/AnsiString.h"

struct TMD5Context {
  std::uint32_t State[4];
  std::uint32_t Count[2];  // bit count, low half first
  std::uint8_t BufChar[64];
};
static_assert(sizeof(TMD5Context) == 88);

using TMD5Digest = std::array<std::uint8_t, 16>;

void MD5Init(TMD5Context& Context);
void MD5Update(TMD5Context& Context, const void* Buffer, std::uint32_t Len);
// As MD5Update, fed through a 16384-byte work buffer.
void MD5UpdateBuffer(TMD5Context& Context, const void* Buffer, std::uint32_t Len);
// Pads, gives the 16 digest bytes and zeroes the context.
void MD5Final(TMD5Digest& Digest, TMD5Context& Context);
void MD5Transform(std::uint32_t State[4], const std::uint8_t Block[64]);

// Digests as 32 upper-case hexadecimal digits.
AnsiString GetMD5(const void* Buffer, std::uint32_t Len);
AnsiString StrMD5(const AnsiString& Buffer);
// Raises EFOpenError when the file cannot be opened.
AnsiString FileMD5(const AnsiString& FileName);

// HMAC-MD5 (RFC 2104); a key longer than 64 bytes is hashed first.
TMD5Digest HmacMD5(const AnsiString& Key, const AnsiString& Text);
