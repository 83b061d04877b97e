#include <gtest/gtest.h>

#include <QString>

#include "lib/AnsiString.h"
#include "lib/SysUtils.h"

TEST(AnsiString, PositionsAreOneBasedAndAbsentIsZero) {
  const AnsiString text = "Current bid: US $12.50";
  EXPECT_EQ(text.Pos("Current"), 1);
  EXPECT_EQ(text.Pos("bid:"), 9);
  EXPECT_EQ(text.Pos("nothing"), 0);
  EXPECT_EQ(text.Pos(""), 0);
  EXPECT_EQ(text[1], 'C');
}

TEST(AnsiString, SubStringAndCutsClampAsTheLibraryDoes) {
  const AnsiString t = "abcdef";
  struct Case {
    int start, count;
    const char* want;
  } cases[] = {{1, 3, "abc"}, {0, 2, "ab"}, {-5, 2, "ab"}, {5, 10, "ef"},
               {7, 1, ""},    {3, 0, ""},   {2, -1, ""}};
  for (const Case& c : cases) EXPECT_EQ(t.SubString(c.start, c.count), c.want) << c.start;
  EXPECT_EQ(LeftStr(t, 0), "");
  EXPECT_EQ(LeftStr(t, 99), "abcdef");
  EXPECT_EQ(RightStr(t, 2), "ef");
  EXPECT_EQ(RightStr(t, -1), "");
  EXPECT_EQ(RightStr(t, 6), "abcdef");
}

TEST(AnsiString, Windows1252RoundTripsThroughWidgetText) {
  const AnsiString bytes("\xA3 \xA5 $ \x80\xA0", 8);
  const QString shown = bytes.toQString();
  EXPECT_EQ(shown, QString::fromUtf8("£ ¥ $ €\u00A0"));
  EXPECT_EQ(AnsiString::fromQString(shown), bytes);
}

TEST(AnsiString, ReplaceFlagsDecideFirstOrAllAndCase) {
  EXPECT_EQ(StringReplace("a b c", " ", "", {rfReplaceAll, rfIgnoreCase}), "abc");
  EXPECT_EQ(StringReplace("Bid bid BID", "bid", "x", {rfIgnoreCase}), "x bid BID");
  EXPECT_EQ(StringReplace("Bid bid BID", "bid", "x", {rfReplaceAll}), "Bid x BID");
  EXPECT_EQ(StringReplace("Bid bid BID", "bid", "x", {rfReplaceAll, rfIgnoreCase}), "x x x");
}

TEST(AnsiString, TrimAndCaseFolding) {
  EXPECT_EQ(Trim(AnsiString(" \t\r\nx y\x01 ")), "x y");
  EXPECT_EQ(AnsiUpperCase(AnsiString("d\xE9j\xE0")), AnsiString("D\xC9J\xC0"));
  EXPECT_EQ(UpperCase(AnsiString("d\xE9")), AnsiString("D\xE9"));
}

TEST(AnsiString, LocaleComparisonIgnoresCaseFirstThenPutsLowerCaseFirst) {
  EXPECT_LT(AnsiCompareStr("apple", "Banana"), 0);
  EXPECT_LT(AnsiCompareStr("a", "A"), 0);
  EXPECT_EQ(AnsiCompareStr("same", "same"), 0);
  EXPECT_NE(AnsiStrComp("Bid", "bid"), 0);
  EXPECT_EQ(AnsiCompareText("Bid", "bID"), 0);
  EXPECT_GT(CompareStr("a", "B"), 0);  // byte order
}
