#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "lib/Exceptions.h"
#include "smtp/NetMD5.h"

namespace {

std::string hexLower(const TMD5Digest& d) {
  std::string out;
  char two[3];
  for (auto b : d) std::snprintf(two, sizeof two, "%02x", b), out += two;
  return out;
}

// RFC 1321, appendix A.5.
struct DigestCase {
  const char* input;
  const char* digest;
} const kRfc1321[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

TEST(MD5, GivesTheDigestsOfRfc1321) {
  for (const auto& c : kRfc1321) EXPECT_EQ(StrMD5(c.input).str(), c.digest) << c.input;
}

TEST(MD5, PiecewiseUpdatesAcrossBlockAndWorkBufferEdgesGiveTheSameDigest) {
  std::string big(40000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + 3);
  const AnsiString whole = StrMD5(big);
  TMD5Context context;
  TMD5Digest digest;
  MD5Init(context);
  const std::size_t pieces[] = {1, 63, 64, 65, 16384, 20000};
  std::size_t at = 0;
  for (auto n : pieces) {
    MD5Update(context, big.data() + at, static_cast<std::uint32_t>(n));
    at += n;
  }
  MD5UpdateBuffer(context, big.data() + at, static_cast<std::uint32_t>(big.size() - at));
  MD5Final(digest, context);
  std::string upper;
  char two[3];
  for (auto b : digest) std::snprintf(two, sizeof two, "%02X", b), upper += two;
  EXPECT_EQ(upper, whole.str());
  // The final step zeroes the context.
  for (auto w : context.State) EXPECT_EQ(w, 0u);
}

TEST(MD5, FileDigestMatchesTheTextDigestAndAMissingFileRaises) {
  const std::string name = "md5-file.bin";
  std::string text(250000, 'x');
  text += "end";
  std::ofstream(name, std::ios::binary) << text;
  EXPECT_EQ(FileMD5(name.c_str()).str(), StrMD5(text).str());
  std::remove(name.c_str());
  EXPECT_THROW(FileMD5("no-such-file.bin"), EFOpenError);
}

// RFC 2202, section 2 (cases 1 to 7), and the example of RFC 2104.
struct HmacCase {
  std::string key;
  std::string data;
  const char* digest;
};

TEST(HmacMD5, GivesTheDigestsOfRfc2104AndRfc2202) {
  const HmacCase cases[] = {
      {std::string(16, '\x0b'), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
      {"Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
      {std::string(16, '\xaa'), std::string(50, '\xdd'), "56be34521d144c88dbb8c733f0e8b3f6"},
      {"\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15"
       "\x16\x17\x18\x19",
       std::string(50, '\xcd'), "697eaf0aca3a3aea3a75164746ffaa79"},
      {std::string(16, '\x0c'), "Test With Truncation", "56461ef2342edc00f9bab995690efd4c"},
      // Keys longer than the block are hashed first.
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
      {std::string(80, '\xaa'),
       "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "6f630fad67cda0ee1fb1f562db3aa53e"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(hexLower(HmacMD5(AnsiString(c.key), AnsiString(c.data))), c.digest) << c.data;
}

}  // namespace
