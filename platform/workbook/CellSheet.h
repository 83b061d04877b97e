#pragma once
// The cells of a workbook sheet, without any widget: what was entered into each cell and the
// value it shows.
//
// A cell holds a text, a number or a formula (see Formula.h for what a formula may say, such as
// "=SUM(C2:E2)" or "=(C2-D2)/2"). Values shown for formulas that cannot give a number:
//   "#CIRC!"  the formula depends on itself, directly or through other formulas (for
//             example C2 holding "=SUM(C2:C1)"); evaluation stops, it never loops
//   "#NAME?"  a formula this sheet does not know
//   "#REF!"   a reference outside the sheet
//   "#VALUE!" arithmetic on a text cell
//   "#DIV/0!" a division by zero
//   "#NUM!"   a result too large for a number
// A formula that reads a cell showing one of these shows it as well.
//
// Rows and columns are counted from 1; the sheet has maxRows rows and maxColumns columns.
// Values are worked out when they are first asked for after a change, so a long run of writes
// costs one evaluation.
#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "lib/AnsiString.h"
#include "workbook/CellRange.h"
#include "workbook/Formula.h"

// "A" for 1, "Z" for 26, "AA" for 27.
AnsiString ColumnLetters(int column);

class CellSheet {
 public:
  static constexpr int maxRows = 65536;
  static constexpr int maxColumns = 256;
  static bool isInside(CellRef cell) {
    return cell.row >= 1 && cell.row <= maxRows && cell.column >= 1 && cell.column <= maxColumns;
  }

  // The text stays text, whatever it looks like. An empty text empties the cell.
  void setText(CellRef cell, const AnsiString& text);
  // As the user types it: "=" begins a formula, a number becomes a number, anything else is a
  // text. An empty entry empties the cell.
  void setEntry(CellRef cell, const AnsiString& entry);
  // Empties every cell of the range and takes its heading mark and its number format off.
  void clear(const CellRange& range);
  void setHeading(const CellRange& range, bool heading);
  // The number format of the range's cells, kept whatever is entered into them: the numbers
  // they show, typed or worked out, get that many decimals (0 to 4; 12.5 with 2 shows
  // "12.50"). Texts and error values show as they are.
  void setDecimals(const CellRange& range, int decimals);

  // What was put into the cell: the text, the number as typed, or the formula.
  AnsiString entry(CellRef cell) const;
  // What the cell shows: the text, the number, the formula's result or its error value.
  AnsiString shown(CellRef cell) const;
  bool isNumeric(CellRef cell) const;
  bool isHeading(CellRef cell) const;

 private:
  enum class Kind { text, number, formula };
  struct Cell {
    Kind kind = Kind::text;
    AnsiString entry;
    double number = 0;
    Formula formula;  // for Kind::formula
  };

  void put(CellRef cell, Cell content);
  const Cell* find(CellRef cell) const;
  void evaluateAll() const;
  void evaluate(CellRef formulaCell) const;
  // A cell's value as arithmetic reads it, and the sum over a range.
  FormulaValue valueOf(CellRef cell) const;
  FormulaValue sumOf(const CellRange& range) const;
  std::vector<CellRef> formulasIn(const CellRange& range) const;
  // Calls visit(cell, content) for every filled cell of the range, row by row.
  template <class Visit>
  void forEachIn(const CellRange& range, Visit visit) const;

  struct CellRefHash {
    std::size_t operator()(CellRef cell) const {
      return std::hash<long long>()((static_cast<long long>(cell.row) << 20) ^ cell.column);
    }
  };

  std::map<CellRef, Cell> cells_;
  std::set<CellRef> headings_;
  std::map<CellRef, int> decimals_;
  // The formula results, valid while evaluated_ is true.
  mutable std::unordered_map<CellRef, FormulaValue, CellRefHash> values_;
  mutable bool evaluated_ = false;
};
