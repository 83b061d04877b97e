// The unit functions: RFC 1123 dates both ways, extensions, the line encodings and the
// directory of a URL.
#include <gtest/gtest.h>

#include "lib/DateTime.h"
#include "netcomp/HttpProt.h"

TEST(HttpUnit, Rfc1123DateFormatsAsPassed) {
  const TDateTime d = EncodeDate(1994, 11, 6).Val + EncodeTime(8, 49, 37, 0).Val;
  EXPECT_EQ(RFC1123_Date(d), "Sun, 06 Nov 1994 08:49:37");
  EXPECT_EQ(RFC1123_Date(EncodeDate(2000, 1, 1)), "Sat, 01 Jan 2000 00:00:00");
}

TEST(HttpUnit, Rfc1123StrToDateReadsWhatRfc1123DateWrites) {
  const TDateTime d = EncodeDate(1994, 11, 6).Val + EncodeTime(8, 49, 37, 0).Val;
  EXPECT_NEAR(RFC1123_StrToDate("Sun, 06 Nov 1994 08:49:37 GMT").Val, d.Val, 1e-9);
  EXPECT_NEAR(RFC1123_StrToDate(RFC1123_Date(d)).Val, d.Val, 1e-9);
  EXPECT_THROW(RFC1123_StrToDate("Sun, 06 Xyz 1994 08:49:37"), EConvertError);
  EXPECT_THROW(RFC1123_StrToDate("Sun, 31 Feb 1994 08:49:37"), EConvertError);
}

TEST(HttpUnit, ReplaceExtAndUrlDirectory) {
  struct Case {
    const char* name;
    const char* result;
  } cases[] = {{"setup.exe", "setup.htm"}, {"page", "page.htm"}, {"a.b.c", "a.b.htm"}};
  for (const auto& k : cases) {
    AnsiString name = k.name;
    ReplaceExt(name, "htm");
    EXPECT_EQ(name, k.result);
  }
  EXPECT_EQ(UrlDirectory("/dir/a.htm"), "/dir/");
  EXPECT_EQ(UrlDirectory("/cgi/run?x=/y"), "/cgi/");
  EXPECT_EQ(UrlDirectory("page.htm"), "");
  EXPECT_EQ(UrlDirectory("http:x"), "http:");
}

TEST(HttpUnit, EncodingsOfOneLine) {
  EXPECT_EQ(EncodeStr(encBase64, "Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
  EXPECT_EQ(EncodeStr(encMime, "ab"), "YWI=");
  // uuencode of "Cat": length character "#" then "0V%T".
  EXPECT_EQ(EncodeStr(encUUEncode, "Cat"), "#0V%T");
  EXPECT_EQ(StrToIntDefault("12", 7), 12);
  EXPECT_EQ(StrToIntDefault("x", 7), 7);
}
