#pragma once
// A cell's address on a workbook sheet and a block of cells, rows and columns counted from 1.

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
