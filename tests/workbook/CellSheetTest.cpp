// The sheet's entries, sums and error values.
#include <gtest/gtest.h>

#include <string>

#include "workbook/CellSheet.h"

namespace {

std::string shown(const CellSheet& sheet, int row, int column) {
  return sheet.shown({row, column}).str();
}

TEST(CellSheet, EntryIsParsedAsTypedAndTextStaysLiteral) {
  const struct {
    const char* entry;
    const char* shown;
    bool numeric;
  } cases[] = {
      {"12.50", "12.5", true},
      {"-3", "-3", true},
      {" 7 ", "7", true},
      {"***", "***", false},
      {"US $12.50", "US $12.50", false},
      {"12.50x", "12.50x", false},
      {"=SUM(A2:A2)", "0", true},
  };
  for (const auto& c : cases) {
    CellSheet sheet;
    sheet.setEntry({1, 1}, c.entry);
    EXPECT_EQ(shown(sheet, 1, 1), c.shown) << c.entry;
    EXPECT_EQ(sheet.isNumeric({1, 1}), c.numeric) << c.entry;
    EXPECT_EQ(sheet.entry({1, 1}).str(), c.entry) << c.entry;
  }
  CellSheet sheet;
  sheet.setText({1, 1}, "=SUM(B1:B2)");
  sheet.setText({1, 2}, "12");
  EXPECT_EQ(shown(sheet, 1, 1), "=SUM(B1:B2)");
  EXPECT_FALSE(sheet.isNumeric({1, 2}));
}

TEST(CellSheet, SumAddsNumbersAndFormulasAndPassesOverTexts) {
  CellSheet sheet;
  sheet.setEntry({2, 3}, "12.50");
  sheet.setEntry({2, 4}, "4");
  sheet.setEntry({2, 6}, "=SUM(C2:E2)");
  sheet.setEntry({3, 3}, "***");  // a current bid that is no number
  sheet.setEntry({3, 6}, "=SUM(C3:E3)");
  sheet.setText({4, 3}, "7");  // a literal text, even when it looks like a number
  sheet.setEntry({5, 6}, "=sum( f2 : F4 )");
  EXPECT_EQ(shown(sheet, 2, 6), "16.5");
  EXPECT_EQ(shown(sheet, 3, 6), "0");
  EXPECT_EQ(shown(sheet, 5, 6), "16.5");
  // A later change is worked into every sum that depends on it.
  sheet.setEntry({2, 5}, "1.25");
  EXPECT_EQ(shown(sheet, 5, 6), "17.75");
  sheet.setEntry({2, 3}, "");
  EXPECT_EQ(shown(sheet, 2, 3), "");
  EXPECT_EQ(shown(sheet, 5, 6), "5.25");
}

TEST(CellSheet, ReversedRangeMeansTheSameCells) {
  CellSheet sheet;
  sheet.setEntry({1, 1}, "1");
  sheet.setEntry({2, 2}, "2");
  sheet.setEntry({5, 5}, "=SUM(B2:A1)");
  sheet.setEntry({5, 6}, "=SUM(A2:B1)");
  EXPECT_EQ(shown(sheet, 5, 5), "3");
  EXPECT_EQ(shown(sheet, 5, 6), "3");
}

TEST(CellSheet, FormulaOnItsOwnRangeShowsCycleErrorAndSpreadsIt) {
  CellSheet sheet;
  sheet.setText({1, 3}, "PRICE");
  sheet.setEntry({2, 3}, "=SUM(C2:C1)");  // the totals of an empty plan sheet
  sheet.setEntry({2, 4}, "=SUM(C1:C2)");  // depends on the cycle without being on it
  EXPECT_EQ(shown(sheet, 2, 3), "#CIRC!");
  EXPECT_FALSE(sheet.isNumeric({2, 3}));
  EXPECT_EQ(shown(sheet, 2, 4), "#CIRC!");
  // A cycle through two cells marks both; breaking it gives numbers again.
  sheet.setEntry({5, 1}, "=SUM(A6)");
  sheet.setEntry({6, 1}, "=SUM(A5:A5)");
  EXPECT_EQ(shown(sheet, 5, 1), "#CIRC!");
  EXPECT_EQ(shown(sheet, 6, 1), "#CIRC!");
  sheet.setEntry({6, 1}, "2");
  EXPECT_EQ(shown(sheet, 5, 1), "2");
}

TEST(CellSheet, LongChainOfSumsIsWorkedOutWithoutExhaustingTheStack) {
  CellSheet sheet;
  constexpr int rows = 60000;
  sheet.setEntry({rows, 1}, "1");
  for (int row = 1; row < rows; ++row)
    sheet.setEntry({row, 1}, "=SUM(A" + std::to_string(row + 1) + ")");
  EXPECT_EQ(shown(sheet, 1, 1), "1");
}

TEST(CellSheet, UnknownFormulasAndOutsideRangesShowTheirErrors) {
  const struct {
    const char* entry;
    const char* shown;
  } cases[] = {
      {"=SUM(C2:E2", "#NAME?"},
      {"=AVG(C2:E2)", "#NAME?"},
      {"=C2 D2", "#NAME?"},
      {"=SUM(C2:E2) x", "#NAME?"},
      {"=", "#NAME?"},
      {"=SUM(C0:C3)", "#REF!"},
      {"=SUM(C1:C99999999999)", "#REF!"},
      {"=SUM(ZZZ1:A1)", "#REF!"},
  };
  for (const auto& c : cases) {
    CellSheet sheet;
    sheet.setEntry({1, 1}, c.entry);
    sheet.setEntry({1, 2}, "=SUM(A1)");
    EXPECT_EQ(shown(sheet, 1, 1), c.shown) << c.entry;
    EXPECT_EQ(shown(sheet, 1, 2), c.shown) << c.entry;
    EXPECT_EQ(sheet.entry({1, 1}).str(), c.entry);
  }
}

TEST(CellSheet, ClearEmptiesOnlyTheRangeAndTakesHeadingsOff) {
  CellSheet sheet;
  sheet.setEntry({1, 1}, "ITEM #");
  sheet.setEntry({100, 10}, "5");
  sheet.setEntry({101, 1}, "kept");
  sheet.setEntry({1, 11}, "kept too");
  sheet.setHeading({{1, 1}, {1, 6}}, true);
  EXPECT_TRUE(sheet.isHeading({1, 6}));
  sheet.clear({{1, 1}, {100, 10}});
  EXPECT_EQ(shown(sheet, 1, 1), "");
  EXPECT_EQ(shown(sheet, 100, 10), "");
  EXPECT_EQ(shown(sheet, 101, 1), "kept");
  EXPECT_EQ(shown(sheet, 1, 11), "kept too");
  EXPECT_FALSE(sheet.isHeading({1, 1}));
}

// A range that leaves columns out on both sides of each of its rows.
TEST(CellSheet, ClearOfAnInnerBlockKeepsTheCellsBesideIt) {
  CellSheet sheet;
  for (int row = 1; row <= 4; ++row)
    for (int column = 1; column <= 5; ++column)
      sheet.setEntry({row, column}, std::to_string(row * 10 + column));
  sheet.setHeading({{1, 1}, {4, 5}}, true);
  sheet.clear({{2, 2}, {3, 4}});
  for (int row = 1; row <= 4; ++row)
    for (int column = 1; column <= 5; ++column) {
      const bool inside = row >= 2 && row <= 3 && column >= 2 && column <= 4;
      EXPECT_EQ(shown(sheet, row, column), inside ? "" : std::to_string(row * 10 + column));
      EXPECT_EQ(sheet.isHeading({row, column}), !inside);
    }
}

// A number format belongs to the cells, whatever is entered into them later, and goes with a
// clear.
TEST(CellSheet, FixedDecimalsShowNumbersAndResultsOnlyInTheirRange) {
  CellSheet sheet;
  sheet.setDecimals({{2, 3}, {3, 6}}, 2);
  sheet.setEntry({2, 3}, "12.5");
  sheet.setEntry({2, 4}, "***");
  sheet.setEntry({2, 5}, "=SUM(C2:C2)");
  sheet.setEntry({2, 6}, "=SUM(D2:D2)+D2");
  sheet.setEntry({4, 3}, "12.5");
  EXPECT_EQ(shown(sheet, 2, 3), "12.50");
  EXPECT_EQ(shown(sheet, 2, 4), "***");
  EXPECT_EQ(shown(sheet, 2, 5), "12.50");
  EXPECT_EQ(shown(sheet, 2, 6), "#VALUE!");
  EXPECT_EQ(shown(sheet, 4, 3), "12.5");
  EXPECT_EQ(sheet.entry({2, 3}).str(), "12.5");
  sheet.setEntry({3, 3}, "7");  // typed after the format was set
  EXPECT_EQ(shown(sheet, 3, 3), "7.00");
  sheet.clear({{3, 3}, {3, 3}});
  sheet.setEntry({3, 3}, "7");
  EXPECT_EQ(shown(sheet, 3, 3), "7");
  EXPECT_EQ(shown(sheet, 2, 3), "12.50");
}

TEST(CellSheet, ColumnLetters) {
  EXPECT_EQ(ColumnLetters(1).str(), "A");
  EXPECT_EQ(ColumnLetters(6).str(), "F");
  EXPECT_EQ(ColumnLetters(26).str(), "Z");
  EXPECT_EQ(ColumnLetters(27).str(), "AA");
  EXPECT_EQ(ColumnLetters(256).str(), "IV");
}

}  // namespace
