// Formulas with cell arithmetic: precedence, references, sums as terms and the error values.
#include <gtest/gtest.h>

#include <string>

#include "CommaLocale.h"
#include "workbook/CellSheet.h"

namespace {

struct Case {
  const char* entry;
  const char* shown;
};

// A line of a budget sheet: C2 price, D2 shipping, E2 empty, G2 a text, H2 zero, C3 and D3 near
// the largest number.
void fillLine(CellSheet& sheet) {
  sheet.setEntry({2, 3}, "12.50");
  sheet.setEntry({2, 4}, "4");
  sheet.setEntry({2, 7}, "***");
  sheet.setEntry({2, 8}, "0");
  sheet.setEntry({3, 3}, "1e308");
  sheet.setEntry({3, 4}, "1e308");
}

template <std::size_t N>
void expectShown(const Case (&cases)[N]) {
  for (const Case& c : cases) {
    CellSheet sheet;
    fillLine(sheet);
    sheet.setEntry({10, 1}, c.entry);
    sheet.setEntry({10, 2}, "=A10*1");  // a formula reading the result shows its error too
    EXPECT_EQ(sheet.shown({10, 1}).str(), c.shown) << c.entry;
    if (c.shown[0] == '#') {
      EXPECT_EQ(sheet.shown({10, 2}).str(), c.shown) << c.entry;
      EXPECT_FALSE(sheet.isNumeric({10, 1})) << c.entry;
    } else {
      EXPECT_TRUE(sheet.isNumeric({10, 1})) << c.entry;
    }
    EXPECT_EQ(sheet.entry({10, 1}).str(), c.entry);
  }
}

TEST(Formula, ArithmeticFollowsTheUsualPrecedence) {
  const Case cases[] = {
      {"=C2+D2*2", "20.5"},
      {"=(C2-D2)/2", "4.25"},
      {"=c2+d2", "16.5"},
      {"= 1 + 2 * 3 ", "7"},
      {"=10-4-3", "3"},
      {"=12/4/3", "1"},
      {"=2+3*4-6/2", "11"},
      {"=-C2", "-12.5"},
      {"=2*-3", "-6"},
      {"=--2", "2"},
      {"=1--2", "3"},
      {"=-(1+2)*3", "-9"},
      {"=((((C2))))", "12.5"},
      {"=.5+1.", "1.5"},
      {"=7", "7"},
      {"=E2", "0"},  // an empty cell counts as 0
      {"=E2*2+H2", "0"},
      {"=-E2", "0"},
  };
  expectShown(cases);
}

// A Qt application takes LC_NUMERIC from the environment: numbers in formulas and typed into
// cells keep their point under a comma locale.
TEST(Formula, NumbersKeepTheirPointUnderACommaLocale) {
  const CommaNumericLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no comma locale can be had on this machine";
  const Case cases[] = {
      {"=C2+D2*2", "20.5"},
      {"=.5+1.", "1.5"},
      {"=C2*0.5", "6.25"},
  };
  expectShown(cases);
}

TEST(Formula, SumIsATermAndPassesOverTextsAndEmptyCells) {
  const Case cases[] = {
      {"=SUM(C2:E2)+1", "17.5"},
      {"=1+SUM(c2:e2)*2", "34"},
      {"=SUM(C2:H2)", "16.5"},  // G2's text and E2 are passed over
      {"=SUM(G2)", "0"},
      {"=SUM(C2)-C2", "0"},
      {"=-SUM(D2:C2)/(SUM(D2)-2)", "-8.25"},
      {"=sum ( C2 : D2 ) * 2", "33"},
  };
  expectShown(cases);
}

TEST(Formula, ErrorValuesAndTheFirstErrorFromTheLeftWins) {
  const Case cases[] = {
      {"=G2+1", "#VALUE!"},
      {"=1+G2", "#VALUE!"},
      {"=-G2", "#VALUE!"},
      {"=SUM(C2:D2)*G2", "#VALUE!"},
      {"=C2/H2", "#DIV/0!"},
      {"=C2/E2", "#DIV/0!"},
      {"=1/(D2-4)", "#DIV/0!"},
      {"=0/0", "#DIV/0!"},
      {"=G2/0", "#VALUE!"},
      {"=1/0+G2", "#DIV/0!"},
      {"=C3*10", "#NUM!"},
      {"=C3*10*0", "#NUM!"},  // an overflow is not undone by what follows
      {"=SUM(C3:D3)", "#NUM!"},
      {"=C3+D3-D3", "#NUM!"},
      {"=C0+1", "#REF!"},
      {"=A1+ZZZ1", "#REF!"},
      {"=SUM(C2:C70000)+1", "#REF!"},
  };
  expectShown(cases);
}

TEST(Formula, FormulasThatCannotBeReadShowTheNameError) {
  const Case cases[] = {
      {"=", "#NAME?"},          {"=1+", "#NAME?"},
      {"=(1", "#NAME?"},        {"=1)", "#NAME?"},
      {"=()", "#NAME?"},        {"=1 2", "#NAME?"},
      {"=C2 D2", "#NAME?"},     {"=*2", "#NAME?"},
      {"=2**3", "#NAME?"},      {"=+2", "#NAME?"},
      {"=2^3", "#NAME?"},       {"=C2:D2", "#NAME?"},
      {"=SUM(1)", "#NAME?"},    {"=SUM()", "#NAME?"},
      {"=SUM(C2:E2", "#NAME?"}, {"=SUM(C2:E2:F2)", "#NAME?"},
      {"=1..2", "#NAME?"},      {"=C", "#NAME?"},
      {"=C2D", "#NAME?"},       {"=AVG(C2)+1", "#NAME?"},
      {"=1+ZZZ1+", "#NAME?"},   {"=1e3", "#NAME?"},
      {"=C 2", "#NAME?"},       {"=1,5", "#NAME?"},
  };
  expectShown(cases);
}

TEST(Formula, ArithmeticCyclesShowTheCycleError) {
  CellSheet sheet;
  sheet.setEntry({1, 1}, "=A1+1");
  sheet.setEntry({2, 1}, "=B2*2");
  sheet.setEntry({2, 2}, "=A2-1");
  sheet.setEntry({3, 1}, "=A2+SUM(C1:C9)");  // reads the cycle without being on it
  EXPECT_EQ(sheet.shown({1, 1}).str(), "#CIRC!");
  EXPECT_EQ(sheet.shown({2, 1}).str(), "#CIRC!");
  EXPECT_EQ(sheet.shown({2, 2}).str(), "#CIRC!");
  EXPECT_EQ(sheet.shown({3, 1}).str(), "#CIRC!");
  sheet.setEntry({2, 2}, "5");  // breaking the cycle gives numbers again
  EXPECT_EQ(sheet.shown({2, 1}).str(), "10");
  EXPECT_EQ(sheet.shown({3, 1}).str(), "10");
}

TEST(Formula, EditsAreWorkedIntoEveryFormulaThatReadsThem) {
  CellSheet sheet;
  fillLine(sheet);
  sheet.setEntry({2, 6}, "=C2+D2*2");
  sheet.setEntry({4, 6}, "=F2/2-SUM(C2:D2)");
  EXPECT_EQ(sheet.shown({4, 6}).str(), "-6.25");
  sheet.setEntry({2, 4}, "1.5");
  EXPECT_EQ(sheet.shown({2, 6}).str(), "15.5");
  EXPECT_EQ(sheet.shown({4, 6}).str(), "-6.25");
  sheet.setEntry({2, 3}, "n/a");
  EXPECT_EQ(sheet.shown({4, 6}).str(), "#VALUE!");
  sheet.clear({{2, 3}, {2, 3}});
  EXPECT_EQ(sheet.shown({4, 6}).str(), "0");
}

TEST(Formula, DeepNestingAndLongChainsLeaveTheStackAlone) {
  const std::string open(200000, '(');
  const std::string close(200000, ')');
  const std::string minus(200000, '-');
  const struct {
    std::string entry;
    const char* shown;
  } cases[] = {
      {"=" + open + "1" + close, "1"},
      {"=" + minus + "1", "1"},
      {"=" + open + "1", "#NAME?"},
      {"=" + open + "1" + close + ")", "#NAME?"},
  };
  for (const auto& c : cases) {
    CellSheet sheet;
    sheet.setEntry({1, 1}, c.entry);
    EXPECT_EQ(sheet.shown({1, 1}).str(), c.shown) << c.entry.substr(0, 20);
  }
  CellSheet sheet;
  constexpr int rows = 60000;
  sheet.setEntry({rows, 1}, "1");
  for (int row = 1; row < rows; ++row) sheet.setEntry({row, 1}, "=1+A" + std::to_string(row + 1));
  EXPECT_EQ(sheet.shown({1, 1}).str(), std::to_string(rows));
}

}  // namespace
