// The text helpers: marker search, cuts, replacements and the numeric tests.
#include "ScrapingTestSupport.h"
#include "scraping/EbayScraper.h"
#include "scraping/TextCuts.h"

namespace {

using ScrapingText = ScrapingTest;

struct ContainsCase {
  const char* needle;
  const char* haystack;
  bool found;
};

TEST_F(ScrapingText, ContainsTextIsACaseSensitiveSearchWhereEmptyAlwaysMatches) {
  const ContainsCase cases[] = {
      {"", "", true},
      {"", "anything", true},
      {"abc", "ab", false},              // needle longer than the haystack
      {"Ready", "ready to bid", false},  // differs only in case
      {"bid", "bid", true},
      {"bid:", "Current bid:", true},  // at the very end
      {"</html>", "<html></html>\r\n", true},
      {"\xA0<b>", "1.00\xA0<b>or more", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ebayScraper.containsText(c.needle, c.haystack), c.found)
        << "needle '" << c.needle << "' in '" << c.haystack << "'";
}

TEST_F(ScrapingText, ContainsTextSeesBytesBehindANulByte) {
  const AnsiString haystack(std::string("ab\0cd", 5));
  EXPECT_FALSE(ebayScraper.containsText(AnsiString(std::string("ab\0xx", 5)), haystack));
  EXPECT_TRUE(ebayScraper.containsText(AnsiString(std::string("b\0c", 3)), haystack));
}

TEST_F(ScrapingText, CutAfterKeepsTheMarkerFromItsSecondCharacter) {
  // "bid:" starts at position 10: the text is kept from position 11.
  EXPECT_EQ(scraping::cutAfter("123456789bid:42", "bid:"), "id:42");
  EXPECT_EQ(scraping::cutAfter("no marker here", "bid:"), "no marker here");
  EXPECT_EQ(scraping::cutAfter("a b", " "), "b");
}

TEST_F(ScrapingText, CutBeforeKeepsTheTextBeforeTheMarkerOrNothing) {
  EXPECT_EQ(scraping::cutBefore("12 bids", " "), "12");
  EXPECT_EQ(scraping::cutBefore("12bids", " "), "");
  EXPECT_EQ(scraping::cutBefore(" x", " "), "");
}

TEST_F(ScrapingText, ReplaceTakesTheReplacementBeforeThePattern) {
  EXPECT_EQ(ebayScraper.replaceAllText(" 1 2 3 ", "", " "), "123");
  EXPECT_EQ(ebayScraper.replaceAllText("a-b-c", "/", "-"), "a/b/c");
  EXPECT_EQ(ebayScraper.replaceFirstText("December 08, 2026", "-", " "), "December-08, 2026");
  // The pattern is matched without regard to case.
  EXPECT_EQ(ebayScraper.replaceFirstText("xAbab", "#", "ab"), "x#ab");
  EXPECT_EQ(ebayScraper.replaceAllText("xAbab", "#", "ab"), "x##");
}

TEST_F(ScrapingText, StripSpacesDropsOnlyBlanks) {
  EXPECT_EQ(ebayScraper.stripSpaces(" 123 456 789 "), "123456789");
  EXPECT_EQ(ebayScraper.stripSpaces("1\t2\xA0"
                                    "3"),
            "1\t2\xA0"
            "3");
  EXPECT_EQ(ebayScraper.stripSpaces(""), "");
}

struct NumericCase {
  const char* text;
  bool numeric;
  bool whole;
};

TEST_F(ScrapingText, NumericTestsAcceptOnlyDigitsAndPoints) {
  const NumericCase cases[] = {
      {"", false, false},     {"0", true, true},     {"007", true, true},
      {"12.50", true, false}, {".", true, false},    {"1.2.3", true, false},
      {"12.", true, false},   {"-1", false, false},  {"1,234", false, false},
      {" 1", false, false},   {"1e5", false, false}, {"12a", false, false},
      {"\xB2", false, false},  // a superscript two is no digit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ebayScraper.isNumericText(c.text), c.numeric) << "'" << c.text << "'";
    EXPECT_EQ(ebayScraper.isWholeNumberText(c.text), c.whole) << "'" << c.text << "'";
  }
}

}  // namespace
