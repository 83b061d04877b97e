// Base64 of texts and of files.
#include "netcomp/Mimeutil.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kPad = 64;
constexpr std::uint8_t kInvalid = 255;

// The alphabet gives 0-63, "=" 64, every other byte all-one bits.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  for (auto& entry : table) entry = kInvalid;
  for (int i = 0; i < 64; ++i)
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  table['='] = kPad;
  return table;
}
constexpr auto kDecode = MakeDecodeTable();

// One group of 1 to 3 bytes as 4 characters, "=" padded.
void EncodeGroup(const unsigned char* bytes, int count, AnsiString& out) {
  const unsigned b0 = bytes[0];
  const unsigned b1 = count > 1 ? bytes[1] : 0;
  const unsigned b2 = count > 2 ? bytes[2] : 0;
  out += kAlphabet[b0 >> 2];
  out += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
  out += count > 1 ? kAlphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
  out += count > 2 ? kAlphabet[b2 & 63] : '=';
}

}  // namespace

AnsiString Base64Encode(const AnsiString& Input) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(Input.c_str());
  const int length = Input.Length();
  AnsiString out;
  for (int i = 0; i < length; i += 3) EncodeGroup(bytes + i, length - i < 3 ? length - i : 3, out);
  return out;
}

AnsiString Base64Decode(const AnsiString& Input) {
  const std::string& s = Input.str();
  AnsiString out;
  for (std::size_t i = 0; i + 1 < s.size(); i += 4) {
    // A short final group counts as padded.
    const unsigned c1 = kDecode[static_cast<unsigned char>(s[i])];
    const unsigned c2 = kDecode[static_cast<unsigned char>(s[i + 1])];
    const unsigned c3 = i + 2 < s.size() ? kDecode[static_cast<unsigned char>(s[i + 2])] : kPad;
    const unsigned c4 = i + 3 < s.size() ? kDecode[static_cast<unsigned char>(s[i + 3])] : kPad;
    out += static_cast<char>(((c1 << 2) | (c2 >> 4)) & 0xFF);
    if (c3 != kPad) out += static_cast<char>(((c2 << 4) | (c3 >> 2)) & 0xFF);
    if (c3 != kPad && c4 != kPad) out += static_cast<char>(((c3 << 6) | c4) & 0xFF);
  }
  return out;
}

std::unique_ptr<TStream> InitFileEncBase64(const AnsiString& FileName, unsigned short ShareMode) {
  return std::make_unique<TFileStream>(FileName,
                                       static_cast<unsigned short>(fmOpenRead | ShareMode));
}

AnsiString DoFileEncBase64(std::unique_ptr<TStream>& Stream, bool& More) {
  constexpr int kLineLength = 72;  // 54 bytes a line
  AnsiString line;
  More = false;
  if (!Stream) return line;
  while (line.Length() < kLineLength) {
    unsigned char group[3];
    const int count = Stream->Read(group, 3);
    More = count == 3;
    if (count > 0) EncodeGroup(group, count, line);
    if (!More) break;
  }
  return line;
}

void EndFileEncBase64(std::unique_ptr<TStream>& Stream) { Stream.reset(); }
