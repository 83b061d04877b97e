#pragma once
// A formula of a workbook sheet: read once when it is entered, worked out whenever the cells it
// refers to may have changed.
//
// A formula is "=" and an expression of
//   numbers              "2", "0.5"
//   cell references      "C2", letters in either case
//   sums over a range    "SUM(C2:E2)" or "SUM(C2)"; a range given bottom-up or right-to-left,
//                        such as C2:C1, means the same cells as C1:C2
//   + - * /              * and / bind tighter than + and -, each works from left to right
//   unary minus          "-C2", "2*-3"
//   parentheses
// with blanks anywhere between the parts. A sum adds the numbers and formula results of its
// range and passes over texts and empty cells; in arithmetic an empty cell counts as 0 and a
// text cell gives "#VALUE!".
//
// The formula is read with an operator stack of its own and worked out with a value stack of
// its own, so deep parentheses or long chains cannot exhaust the program's stack.
#include <functional>
#include <vector>

#include "lib/AnsiString.h"
#include "workbook/CellRange.h"

// The error values a formula can show in place of a number.
inline constexpr const char* circularError = "#CIRC!";   // depends on itself
inline constexpr const char* divisionError = "#DIV/0!";  // divides by zero
inline constexpr const char* nameError = "#NAME?";       // not a formula this sheet knows
inline constexpr const char* overflowError = "#NUM!";    // a result too large for a number
inline constexpr const char* referenceError = "#REF!";   // refers to a cell outside the sheet
inline constexpr const char* valueError = "#VALUE!";     // arithmetic on a text

// A number, or the error value shown in its place.
struct FormulaValue {
  bool isError = false;
  double number = 0;
  AnsiString error;
  static FormulaValue of(double number);  // overflowError for an infinite or undefined number
  static FormulaValue failure(const AnsiString& error) { return {true, 0, error}; }
};

class Formula {
 public:
  // Reads entry, "=" and the expression. A formula that cannot be read gives nameError, one
  // that refers outside the sheet referenceError; either is the formula's value from then on.
  static Formula parse(const AnsiString& entry);

  // Every cell and range the formula reads, a single cell as a range of one.
  const std::vector<CellRange>& references() const { return references_; }

  // The formula's value. cellValue gives a referenced cell's value for arithmetic, rangeSum
  // the sum over a range. The first error met, from left to right, is the result.
  FormulaValue evaluate(const std::function<FormulaValue(CellRef)>& cellValue,
                        const std::function<FormulaValue(const CellRange&)>& rangeSum) const;

 private:
  friend class FormulaReader;
  enum class Op { number, cell, sum, negate, add, subtract, multiply, divide };
  // One step of the formula in postfix order: an operand pushes a value, an operator takes its
  // operands off the value stack and pushes its result.
  struct Step {
    Op op;
    double number = 0;  // for Op::number
    CellRange range{};  // for Op::cell (first == last) and Op::sum
  };

  std::vector<Step> steps_;
  std::vector<CellRange> references_;
  AnsiString error_;
};
