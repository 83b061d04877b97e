#pragma once
// The cells of a workbook sheet, without any widget: what was entered into each cell and the
// value it shows.
//
// A cell holds a text, a number or a formula. The only formula is a sum over a range,
// "=SUM(C2:E2)" (letters and blanks as typed; a range given bottom-up or right-to-left, such
// as C2:C1, means the same cells as C1:C2). A sum adds the numbers and the formula results in
// its range and passes over texts and empty cells. Values shown for formulas that cannot give
// a number:
//   "#CIRC!"  the formula depends on itself, directly or through other formulas (for
//             example C2 holding "=SUM(C2:C1)"); evaluation stops, it never loops
//   "#NAME?"  a formula this sheet does not know
//   "#REF!"   a range outside the sheet
// A sum over a cell that shows one of these shows it as well.
//
// Rows and columns are counted from 1; the sheet has maxRows rows and maxColumns columns.
// Values are worked out when they are first asked for after a change, so a long run of writes
// costs one evaluation.
#include <map>
#include <set>
#include <vector>

#include "lib/AnsiString.h"

struct CellRef {
  int row = 0;
  int column = 0;
  auto operator<=>(const CellRef&) const = default;
};

// An inclusive block of cells, first corner above and left of the last.
struct CellRange {
  CellRef first;
  CellRef last;
  bool contains(CellRef cell) const {
    return cell.row >= first.row && cell.row <= last.row && cell.column >= first.column &&
           cell.column <= last.column;
  }
};

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
  // Empties every cell of the range and takes its heading mark off.
  void clear(const CellRange& range);
  void setHeading(const CellRange& range, bool heading);

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
    // For a formula: its range, or no range and the error it shows.
    bool hasRange = false;
    CellRange range;
    AnsiString error;
  };
  struct Value {
    bool isError = false;
    double number = 0;
    AnsiString error;
  };

  void put(CellRef cell, Cell content);
  const Cell* find(CellRef cell) const;
  void evaluateAll() const;
  void evaluate(CellRef formulaCell) const;
  Value sumOf(const Cell& formula) const;
  std::vector<CellRef> formulasIn(const CellRange& range) const;
  // Calls visit(cell, content) for every filled cell of the range, row by row.
  template <class Visit>
  void forEachIn(const CellRange& range, Visit visit) const;

  std::map<CellRef, Cell> cells_;
  std::set<CellRef> headings_;
  // The formula results, valid while evaluated_ is true.
  mutable std::map<CellRef, Value> values_;
  mutable bool evaluated_ = false;
};
