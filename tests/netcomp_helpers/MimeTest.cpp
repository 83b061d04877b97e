#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "lib/Exceptions.h"
#include "netcomp/Mimeutil.h"

namespace {

TEST(Base64, PublishedVectorsBothWays) {
  static const char* kCases[][2] = {{"", ""},
                                    {"f", "Zg=="},
                                    {"fo", "Zm8="},
                                    {"foo", "Zm9v"},
                                    {"foob", "Zm9vYg=="},
                                    {"fooba", "Zm9vYmE="},
                                    {"foobar", "Zm9vYmFy"}};
  for (const auto& c : kCases) {
    EXPECT_EQ(Base64Encode(c[0]), c[1]);
    EXPECT_EQ(Base64Decode(c[1]), c[0]);
  }
  const std::string all = [] {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
  }();
  EXPECT_EQ(Base64Decode(Base64Encode(AnsiString(all))).str(), all);
}

TEST(Base64, BadCharactersAndShortGroups) {
  EXPECT_EQ(Base64Decode("!!!!").str(), std::string(3, '\xFF'));
  EXPECT_EQ(Base64Decode("Zm9vYg"), "foob");  // short final group, read as padded
  EXPECT_EQ(Base64Decode("Zm9vY"), "foo");
}

TEST(QuotedPrintable, EncodeSplitDecode) {
  EXPECT_EQ(EncodeQuotedPrintable("a=b\r\nc\td \xE9~"), "a=3Db=0D=0Ac=09d =E9~");
  const AnsiString plain(std::string(200, 'x'));
  EXPECT_EQ(SplitQuotedPrintableString(plain),
            std::string(75, 'x') + "=\r\n" + std::string(75, 'x') + "=\r\n" + std::string(50, 'x'));
  EXPECT_EQ(SplitQuotedPrintableString(AnsiString(std::string(76, 'x'))).Length(), 76);
  // Escapes at the cut stay whole.
  const AnsiString escaped(std::string(74, 'x') + "=3D" + std::string(20, 'y'));
  EXPECT_EQ(SplitQuotedPrintableString(escaped),
            std::string(74, 'x') + "=\r\n=3D" + std::string(20, 'y'));
  const AnsiString escaped2(std::string(73, 'x') + "=3D" + std::string(20, 'y'));
  EXPECT_EQ(SplitQuotedPrintableString(escaped2),
            std::string(73, 'x') + "=\r\n=3D" + std::string(20, 'y'));
  EXPECT_EQ(DecodeQuotedPrintable("a=3Db=\r\nc=E9="), "a=bc\xE9");
  EXPECT_THROW(DecodeQuotedPrintable("=ZZ"), EConvertError);
}

TEST(DotEscape, DoublesLeadingDotsOfEveryLine) {
  AnsiString text = ".\r\nA\r\n.";
  DotEscape(text);
  EXPECT_EQ(text, "..\r\nA\r\n..");
  AnsiString inside = "a.b\r\n..c";
  DotEscape(inside);
  EXPECT_EQ(inside, "a.b\r\n...c");
}

TEST(FilenameToContentType, ExtensionsWithoutCase) {
  static const char* kCases[][2] = {{"a.htm", "text/html"},
                                    {"a.HTML", "text/html"},
                                    {"p.gif", "image/gif"},
                                    {"p.bmp", "image/bmp"},
                                    {"p.JPEG", "image/jpeg"},
                                    {"p.jpg", "image/jpeg"},
                                    {"n.txt", "text/plain"},
                                    {"noext", "application/octet-stream"},
                                    {"x.zip", "application/octet-stream"}};
  for (const auto& c : kCases) EXPECT_EQ(FilenameToContentType(c[0]), c[1]) << c[0];
}

std::string WriteFile(const std::string& name, std::size_t size) {
  std::ofstream out(name, std::ios::binary);
  for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7));
  return name;
}

TEST(FileEncBase64, LinesOf72AndTheEnd) {
  const std::string name = WriteFile("fileenc100.bin", 100);
  std::unique_ptr<TStream> stream = InitFileEncBase64(name.c_str(), fmShareDenyWrite);
  bool more = false;
  const AnsiString first = DoFileEncBase64(stream, more);
  EXPECT_EQ(first.Length(), 72);
  EXPECT_TRUE(more);
  const AnsiString second = DoFileEncBase64(stream, more);
  EXPECT_EQ(second.Length(), 64);
  EXPECT_EQ(second.SubString(63, 2), "==");
  EXPECT_FALSE(more);
  std::ifstream in(name, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(Base64Decode(first + second).str(), bytes);
  EndFileEncBase64(stream);
  EXPECT_EQ(stream, nullptr);
  std::remove(name.c_str());
}

TEST(FileEncBase64, MultipleOf54EndsWithAnEmptyLineAndMissingFileRaises) {
  const std::string name = WriteFile("fileenc108.bin", 108);
  auto stream = InitFileEncBase64(name.c_str(), fmShareDenyNone);
  bool more = false;
  EXPECT_EQ(DoFileEncBase64(stream, more).Length(), 72);
  EXPECT_TRUE(more);
  EXPECT_EQ(DoFileEncBase64(stream, more).Length(), 72);
  EXPECT_TRUE(more);
  EXPECT_EQ(DoFileEncBase64(stream, more), "");
  EXPECT_FALSE(more);
  EndFileEncBase64(stream);
  std::remove(name.c_str());
  EXPECT_THROW(InitFileEncBase64("no-such-file.bin", fmShareDenyWrite), EFOpenError);
}

}  // namespace
