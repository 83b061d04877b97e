#include <gtest/gtest.h>

#include "HexBytes.h"
#include "netcomp/NetDes.h"
#include "netcomp/NetMD4.h"

namespace {

TEST(MD4, RfcTestSuite) {
  static const struct {
    const char* text;
    const char* digest;
  } kCases[] = {
      {"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
      {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
      {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
      {"message digest", "d9130a8164549fe818874806e1c7014b"},
      {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "043f8582f241db351ce627e153e7f0e4"},
      {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
       "0",
       "e33b4ddc9c38f2199c3e7b164fcc0536"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Hex(MD4String(c.text).str()), c.digest) << c.text;
}

TEST(MD4, PiecewiseUpdatesAcrossBlockBoundariesMatchOneUpdate) {
  const std::string text(200, 'x');
  for (std::uint32_t split : {1u, 55u, 56u, 63u, 64u, 65u, 128u}) {
    TMD4Context context;
    MD4Init(context);
    MD4Update(context, text.data(), split);
    MD4Update(context, text.data() + split, static_cast<std::uint32_t>(text.size()) - split);
    TMD4Digest digest;
    MD4Final(context, digest);
    EXPECT_EQ(Hex(digest), Hex(MD4String(text).str())) << split;
  }
}

TEST(MD4, FinalTwiceAndUpdateUninitialisedRaise) {
  TMD4Context context;
  TMD4Digest digest;
  EXPECT_THROW(MD4UpdateStr(context, "a"), MD4Exception);
  MD4Init(context);
  MD4Final(context, digest);
  try {
    MD4Final(context, digest);
    FAIL();
  } catch (const MD4Exception& e) {
    EXPECT_EQ(e.Message(), "MD4 not initialized");
  }
}

TDesBlock Block(std::uint64_t value) {
  TDesBlock block;
  for (int i = 0; i < 8; ++i) block[i] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
  return block;
}

TEST(DES, KnownAnswersAndRoundTrip) {
  static const struct {
    std::uint64_t key, plain, cipher;
  } kCases[] = {
      {0x133457799BBCDFF1, 0x0123456789ABCDEF, 0x85E813540F0AB405},
      {0x0123456789ABCDEF, 0x4E6F772069732074, 0x3FA40E8A984D4815},  // "Now is t"
      {0x0101010101010101, 0x8000000000000000, 0x95F8A5E5DD31D900},  // variable plaintext
      {0x8001010101010101, 0x0000000000000000, 0x95A8D72813DAA94D},  // variable key
  };
  for (const auto& c : kCases) {
    TDesBlock out, back;
    DES(Block(c.plain), out, Block(c.key), true);
    EXPECT_EQ(Hex(out), Hex(Block(c.cipher)));
    DES(out, back, Block(c.key), false);
    EXPECT_EQ(Hex(back), Hex(Block(c.plain)));
  }
}

}  // namespace
