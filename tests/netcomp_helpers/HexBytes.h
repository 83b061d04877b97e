#pragma once
// Hexadecimal text of bytes, for comparing digests and messages with published vectors.
#include <string>

template <typename Bytes>
std::string Hex(const Bytes& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (auto b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    out += digits[byte >> 4];
    out += digits[byte & 15];
  }
  return out;
}
