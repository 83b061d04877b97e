#include <gtest/gtest.h>

#include "HexBytes.h"
#include "netcomp/Mimeutil.h"
#include "netcomp/NtlmMsgs.h"

namespace {

// The NTLM version 1 example of the published protocol document: password "Password",
// server challenge 0123456789abcdef.
const TNtlmChallenge kChallenge = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};

TEST(NtlmResponses, PublishedVersion1Example) {
  EXPECT_EQ(Hex(NtlmNtHash("Password")), "a4f49c406510bdcab6824ee7c30fd852");
  EXPECT_EQ(Hex(NtlmLmHash("Password")), "e52cac67419a9a224a3b108f3fa6cb6d");
  EXPECT_EQ(Hex(NtlmChallengeResponse(NtlmNtHash("Password"), kChallenge)),
            "67c43011f30298a2ad35ece64f16331c44bdbed927841f94");
  EXPECT_EQ(Hex(NtlmChallengeResponse(NtlmLmHash("Password"), kChallenge)),
            "98def7b87f88aa5dafe2df779688a172def11c7d5ccdef13");
}

TEST(NtlmResponses, EmptyAndLongPasswords) {
  // An empty password: LM of 14 zero bytes, NT of nothing.
  EXPECT_EQ(Hex(NtlmLmHash("")), "aad3b435b51404eeaad3b435b51404ee");
  EXPECT_EQ(Hex(NtlmNtHash("")), "31d6cfe0d16ae931b73c59d7e0c089c0");
  // Only the first 14 characters count for LM, in capitals; NT uses the whole password.
  EXPECT_EQ(Hex(NtlmLmHash("abcdefghijklmnXYZ")), Hex(NtlmLmHash("ABCDEFGHIJKLMN")));
  EXPECT_NE(Hex(NtlmNtHash("abcdefghijklmnXYZ")), Hex(NtlmNtHash("abcdefghijklmn")));
}

TEST(NtlmResponses, KeySpreadingPutsSevenBitsAtTheTop) {
  const std::uint8_t ones[7] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Hex(NtlmDesKey(ones)), "fefefefefefefefe");
  const std::uint8_t first[7] = {0x80, 0, 0, 0, 0, 0, 0x01};
  EXPECT_EQ(Hex(NtlmDesKey(first)), "8000000000000002");
}

std::string Decoded(const AnsiString& message) { return Base64Decode(message).str(); }

TEST(NtlmMessage1, EmptyHostAndDomain) {
  const AnsiString message = NtlmGetMessage1("", "");
  EXPECT_EQ(message.Length(), 44);
  EXPECT_EQ(message[44], '=');
  EXPECT_EQ(Hex(Decoded(message)),
            "4e544c4d53535000"
            "01000000"
            "07820000"
            "0000000000000000"
            "0000000000000000");
}

TEST(NtlmMessage1, HostAndDomainInCapitals) {
  EXPECT_EQ(Hex(Decoded(NtlmGetMessage1("ab", ""))),
            "4e544c4d53535000"
            "01000000"
            "07a20000"
            "0000000000000000"
            "0200020020000000"
            "4142");
  EXPECT_EQ(Hex(Decoded(NtlmGetMessage1("ab", "dom"))),
            "4e544c4d53535000"
            "01000000"
            "07b20000"
            "0300030022000000"
            "0200020020000000"
            "4142444f4d");
}

TEST(NtlmMessage3, LayoutAndResponses) {
  const std::string m = Decoded(NtlmGetMessage3("", "H", "U", "Password", kChallenge));
  ASSERT_EQ(m.size(), 116u);
  EXPECT_EQ(Hex(m.substr(0, 64)),
            "4e544c4d53535000"
            "03000000"
            "1800180044000000"  // LM 24 at 68
            "180018005c000000"  // NT 24 at 92
            "0000000040000000"  // domain 0 at 64
            "0200020040000000"  // user 2 at 64
            "0200020042000000"  // host 2 at 66
            "0000000000000000"  // no session key
            "05820000");
  EXPECT_EQ(Hex(m.substr(64, 4)), "55004800");  // "U", "H" in UTF-16LE
  EXPECT_EQ(Hex(m.substr(68, 24)), "98def7b87f88aa5dafe2df779688a172def11c7d5ccdef13");
  EXPECT_EQ(Hex(m.substr(92, 24)), "67c43011f30298a2ad35ece64f16331c44bdbed927841f94");
}

std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

TEST(NtlmMessage2, ReadsChallengeTargetAndTargetInformation) {
  const std::string target("D\0O\0M\0", 6);
  const std::string server("S\0V\0", 4);
  std::string m("NTLMSSP\0", 8);
  m += Le32(2) + Le16(6) + Le16(6) + Le32(48) + Le32(0x00810201);
  m.append(reinterpret_cast<const char*>(kChallenge.data()), 8);
  m += std::string(8, '\0');            // context
  m += Le16(18) + Le16(18) + Le32(54);  // target information at 54
  m += target;
  m += Le16(2) + Le16(6) + target + Le16(1) + Le16(4) + server + Le16(0) + Le16(0);
  const TNTLM_Msg2_Info info = NtlmGetMessage2(Base64Encode(AnsiString(m)));
  EXPECT_TRUE(info.Ready);
  EXPECT_EQ(Hex(info.Challenge), "0123456789abcdef");
  EXPECT_EQ(info.TargetName, std::u16string(u"D\0O\0M\0", 6));
  EXPECT_EQ(info.DomainName, std::u16string(u"D\0O\0M\0", 6));
  EXPECT_EQ(info.ServerName, std::u16string(u"S\0V\0", 4));
}

TEST(NtlmMessage2, EmptyShortAndOutOfRangeMessages) {
  EXPECT_FALSE(NtlmGetMessage2("").Ready);
  // Too short to hold a challenge: not ready, rather than reading past the end.
  EXPECT_FALSE(NtlmGetMessage2(Base64Encode("NTLMSSP")).Ready);
  // Offsets past the end: the challenge is read, the names stay empty.
  std::string m("NTLMSSP\0", 8);
  m += Le32(2) + Le16(500) + Le16(500) + Le32(9000) + Le32(0);
  m.append(reinterpret_cast<const char*>(kChallenge.data()), 8);
  m += std::string(8, '\0') + Le16(0) + Le16(0) + Le32(70000);
  const TNTLM_Msg2_Info info = NtlmGetMessage2(Base64Encode(AnsiString(m)));
  EXPECT_TRUE(info.Ready);
  EXPECT_EQ(Hex(info.Challenge), "0123456789abcdef");
  EXPECT_TRUE(info.TargetName.empty());
  EXPECT_TRUE(info.ServerName.empty());
}

}  // namespace
