#include "workbook/Formula.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "workbook/CellSheet.h"

namespace {

bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

FormulaValue FormulaValue::of(double number) {
  if (!std::isfinite(number)) return failure(overflowError);
  return {false, number, {}};
}

// Turns the text of a formula into its steps in postfix order: operands go straight to the
// steps, operators wait on a stack of their own until a later operator that binds no more
// tightly, a closing parenthesis or the end of the text releases them.
class FormulaReader {
 public:
  explicit FormulaReader(const std::string& text) : text_(text) {}

  Formula read() {
    Formula formula;
    formula.error_ = readInto(formula) ? (reachesOutside_ ? referenceError : "") : nameError;
    if (!formula.error_.IsEmpty()) {
      formula.steps_.clear();
      formula.references_.clear();
    }
    return formula;
  }

 private:
  using Op = Formula::Op;
  // An operator waiting for its right operand, or an opening parenthesis (no operator).
  struct Waiting {
    bool isParenthesis = false;
    Op op = Op::add;
  };

  static int bindingOf(Op op) {
    switch (op) {
      case Op::negate:
        return 3;
      case Op::multiply:
      case Op::divide:
        return 2;
      default:
        return 1;
    }
  }

  static bool binaryOperator(char symbol, Op& op) {
    switch (symbol) {
      case '+':
        op = Op::add;
        return true;
      case '-':
        op = Op::subtract;
        return true;
      case '*':
        op = Op::multiply;
        return true;
      case '/':
        op = Op::divide;
        return true;
      default:
        return false;
    }
  }

  bool readInto(Formula& formula) {
    pos_ = 1;  // after "="
    std::vector<Waiting> waiting;
    bool operandNext = true;
    for (skipBlanks(); pos_ < text_.size(); skipBlanks()) {
      const char symbol = text_[pos_];
      Op op;
      if (operandNext && symbol == '-') {
        ++pos_;
        waiting.push_back({false, Op::negate});
      } else if (operandNext && symbol == '(') {
        ++pos_;
        waiting.push_back({true});
      } else if (operandNext) {
        if (!readOperand(formula)) return false;
        operandNext = false;
      } else if (binaryOperator(symbol, op)) {
        ++pos_;
        // Everything waiting that binds at least as tightly is complete: left to right.
        while (!waiting.empty() && !waiting.back().isParenthesis &&
               bindingOf(waiting.back().op) >= bindingOf(op)) {
          formula.steps_.push_back({waiting.back().op});
          waiting.pop_back();
        }
        waiting.push_back({false, op});
        operandNext = true;
      } else if (symbol == ')') {
        ++pos_;
        for (; !waiting.empty() && !waiting.back().isParenthesis; waiting.pop_back())
          formula.steps_.push_back({waiting.back().op});
        if (waiting.empty()) return false;  // no parenthesis to close
        waiting.pop_back();
      } else {
        return false;
      }
    }
    if (operandNext) return false;  // empty, or ends on an operator
    for (; !waiting.empty(); waiting.pop_back()) {
      if (waiting.back().isParenthesis) return false;  // left open
      formula.steps_.push_back({waiting.back().op});
    }
    return true;
  }

  // A number, a cell reference or a sum.
  bool readOperand(Formula& formula) {
    const char first = text_[pos_];
    if (isDigit(first) || first == '.') {
      double number = 0;
      if (!readNumber(number)) return false;
      formula.steps_.push_back({Op::number, number});
      return true;
    }
    if (!isLetter(first)) return false;
    CellRef cell;
    const std::size_t start = pos_;
    if (readAddress(cell)) {
      addReference(formula, Op::cell, {cell, cell});
      return true;
    }
    pos_ = start;
    std::string name;
    while (pos_ < text_.size() && isLetter(text_[pos_]))
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
    if (name != "SUM" || !readSymbol('(')) return false;
    CellRef last;
    if (!readAddress(cell)) return false;
    last = cell;
    if (readSymbol(':') && !readAddress(last)) return false;
    if (!readSymbol(')')) return false;
    addReference(formula, Op::sum,
                 {{std::min(cell.row, last.row), std::min(cell.column, last.column)},
                  {std::max(cell.row, last.row), std::max(cell.column, last.column)}});
    return true;
  }

  void addReference(Formula& formula, Op op, const CellRange& range) {
    formula.steps_.push_back({op, 0, range});
    formula.references_.push_back(range);
  }

  // Digits with an optional decimal point ("12", "12.5", ".5", "12.").
  bool readNumber(double& number) {
    const std::size_t start = pos_;
    bool digits = false;
    while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_, digits = true;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_, digits = true;
    }
    if (!digits) return false;
    // Read with a point whatever decimal separator the process locale has.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    number = strtod_l(text_.substr(start, pos_ - start).c_str(), nullptr, cLocale);
    return true;
  }

  // Blanks, then a cell address ("C12", letters in either case). Gives false when no address
  // stands there; an address outside the sheet is read, and marks the formula as reaching
  // outside it.
  bool readAddress(CellRef& cell) {
    skipBlanks();
    long long column = 0;
    std::size_t start = pos_;
    while (pos_ < text_.size() && isLetter(text_[pos_])) {
      if (column <= CellSheet::maxColumns)
        column = column * 26 + (std::toupper(static_cast<unsigned char>(text_[pos_])) - 'A' + 1);
      ++pos_;
    }
    if (pos_ == start) return false;
    long long row = 0;
    start = pos_;
    while (pos_ < text_.size() && isDigit(text_[pos_])) {
      if (row <= CellSheet::maxRows) row = row * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ == start) return false;
    const bool inside = row >= 1 && row <= CellSheet::maxRows && column <= CellSheet::maxColumns;
    if (!inside) reachesOutside_ = true;
    cell = {static_cast<int>(inside ? row : 0), static_cast<int>(inside ? column : 0)};
    return true;
  }

  bool readSymbol(char symbol) {
    skipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != symbol) return false;
    ++pos_;
    return true;
  }

  void skipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  const std::string& text_;
  std::size_t pos_ = 0;
  bool reachesOutside_ = false;
};

Formula Formula::parse(const AnsiString& entry) { return FormulaReader(entry.str()).read(); }

FormulaValue Formula::evaluate(
    const std::function<FormulaValue(CellRef)>& cellValue,
    const std::function<FormulaValue(const CellRange&)>& rangeSum) const {
  if (!error_.IsEmpty()) return FormulaValue::failure(error_);
  std::vector<FormulaValue> values;
  for (const Step& step : steps_) {
    switch (step.op) {
      case Op::number:
        values.push_back(FormulaValue::of(step.number));
        continue;
      case Op::cell:
        values.push_back(cellValue(step.range.first));
        continue;
      case Op::sum:
        values.push_back(rangeSum(step.range));
        continue;
      case Op::negate:
        if (!values.back().isError) values.back().number = -values.back().number;
        continue;
      default:
        break;
    }
    FormulaValue right = std::move(values.back());
    values.pop_back();
    FormulaValue& left = values.back();
    if (left.isError) continue;
    if (right.isError) {
      left = std::move(right);
    } else if (step.op == Op::add) {
      left = FormulaValue::of(left.number + right.number);
    } else if (step.op == Op::subtract) {
      left = FormulaValue::of(left.number - right.number);
    } else if (step.op == Op::multiply) {
      left = FormulaValue::of(left.number * right.number);
    } else if (right.number == 0) {
      left = FormulaValue::failure(divisionError);
    } else {
      left = FormulaValue::of(left.number / right.number);
    }
  }
  return values.back();
}
