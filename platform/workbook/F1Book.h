#pragma once
// TF1Book: the workbook control, a small spreadsheet on a grid widget.
//
// The program writes through the active cell: SetActiveCell chooses the cell, SetText puts a
// literal text into it and SetEntry puts what a user would type (a number, a text, or a formula
// beginning with "="; see CellSheet.h for the formulas and their error values). The user edits
// the cells in place in the same way: typing into a cell is an entry, and every formula is
// worked out again.
//
// A call outside the sheet, or one the workbook does not know, raises EF1BookError.
#include <QPersistentModelIndex>
#include <QPointer>

#include "forms/Control.h"
#include "lib/AnsiString.h"
#include "workbook/CellSheet.h"
#include "workbook/WorkbookErrors.h"

class F1BookModel;

// The clear kinds of ClearRange.
inline constexpr short F1ClearAll = 1;  // contents and formats

class TF1Book : public TControl {
 public:
  explicit TF1Book(TComponent* owner);
  ~TF1Book() override;

  // The active cell's shown text; setting it puts the text in as it stands.
  AnsiString Text() const;
  void SetText(const AnsiString& text);
  // The active cell's entry as typed; setting it parses it as the user's typing.
  AnsiString Entry() const;
  void SetEntry(const AnsiString& entry);

  // The cell that Text and Entry read and write. Starts at (1, 1).
  void SetActiveCell(int row, int column);
  int ActiveRow() const { return active_.row; }
  int ActiveCol() const { return active_.column; }

  // The shown text and the entry of any cell, leaving the active cell where it is.
  AnsiString TextRC(int row, int column) const;
  AnsiString EntryRC(int row, int column) const;

  // Empties the cells from (row1, column1) to (row2, column2), corners in either order.
  // Only F1ClearAll is known.
  void ClearRange(int row1, int column1, int row2, int column2, short clearType);
  // Marks the cells of the range as headings (shown bold), or takes the mark off.
  void SetHeadingRange(int row1, int column1, int row2, int column2, bool heading);
  bool IsHeading(int row, int column) const;
  // The numbers of the range show with that many decimals (see CellSheet::setDecimals);
  // ClearRange takes the format off again.
  void SetFixedDecimals(int row1, int column1, int row2, int column2, int decimals);
  // Makes columns column1 to column2 wide enough for a number of that many digits in the
  // grid's font.
  void SetColWidth(int column1, int column2, int digits);

 private:
  friend class F1BookModel;
  static CellRef checkedCell(int row, int column);
  static CellRange checkedRange(int row1, int column1, int row2, int column2);
  void changed();
  void showActiveCell();
  void scheduleGridUpdate();
  void updateGrid();

  CellSheet sheet_;
  CellRef active_{1, 1};
  QPointer<F1BookModel> model_;  // a child of the grid widget
  // What the grid has yet to learn: changed cells, and a move of its current cell away from
  // the cell it was last told of.
  bool gridUpdatePending_ = false;
  bool sheetChanged_ = false;
  QPersistentModelIndex announcedCell_;
};
