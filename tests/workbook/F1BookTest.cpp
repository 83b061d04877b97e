// The workbook control: writes through the active cell, its errors, and the grid the user
// types into.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QFont>
#include <QTableView>

#include "workbook/F1Book.h"

namespace {

TEST(F1Book, TextAndEntryWriteTheActiveCell) {
  TF1Book book(nullptr);
  EXPECT_EQ(book.ActiveRow(), 1);
  EXPECT_EQ(book.ActiveCol(), 1);
  book.SetEntry("ITEM #");
  book.SetActiveCell(2, 3);
  book.SetEntry("12.50");
  book.SetActiveCell(2, 6);
  book.SetEntry("=SUM(C2:E2)");
  EXPECT_EQ(book.Text().str(), "12.5");
  EXPECT_EQ(book.Entry().str(), "=SUM(C2:E2)");
  book.SetActiveCell(2, 1);
  book.SetText("123456");
  EXPECT_EQ(book.TextRC(1, 1).str(), "ITEM #");
  EXPECT_EQ(book.EntryRC(2, 3).str(), "12.50");
  EXPECT_EQ(book.TextRC(2, 1).str(), "123456");
  EXPECT_EQ(book.ActiveRow(), 2);
  EXPECT_EQ(book.ActiveCol(), 1);
  // The grid's current cell is the active cell.
  auto* grid = static_cast<QTableView*>(book.Widget());
  EXPECT_EQ(grid->currentIndex().row(), 1);
  EXPECT_EQ(grid->currentIndex().column(), 0);
}

TEST(F1Book, CallsOutsideTheSheetRaiseTheWorkbookError) {
  TF1Book book(nullptr);
  EXPECT_THROW(book.SetActiveCell(0, 1), EF1BookError);
  EXPECT_THROW(book.SetActiveCell(1, CellSheet::maxColumns + 1), EF1BookError);
  EXPECT_THROW(book.SetActiveCell(CellSheet::maxRows + 1, 1), EF1BookError);
  EXPECT_THROW(book.ClearRange(1, 1, 0, 10, F1ClearAll), EF1BookError);
  EXPECT_THROW(book.SetHeadingRange(-1, 1, 1, 6, true), EF1BookError);
  EXPECT_EQ(book.ActiveRow(), 1);  // a refused call leaves the active cell where it was
  book.SetEntry("kept");
  EXPECT_THROW(book.ClearRange(1, 1, 100, 10, 2), EF1BookError);
  EXPECT_EQ(book.Text().str(), "kept");
  try {
    book.SetActiveCell(0, 3);
  } catch (const Exception& e) {  // the class library's base class catches it
    EXPECT_EQ(e.Message().str(), "Cell (0, 3) is outside the sheet");
  }
}

TEST(F1Book, ClearRangeTakesCornersInEitherOrder) {
  TF1Book book(nullptr);
  book.SetActiveCell(3, 3);
  book.SetEntry("1");
  book.SetActiveCell(4, 4);
  book.SetEntry("2");
  book.ClearRange(3, 4, 1, 1, F1ClearAll);
  EXPECT_EQ(book.TextRC(3, 3).str(), "");
  EXPECT_EQ(book.TextRC(4, 4).str(), "2");
}

TEST(F1Book, GridShowsValuesAndBoldHeadingsAndTakesTheUsersTyping) {
  TF1Book book(nullptr);
  book.SetHeadingRange(1, 1, 1, 6, true);
  book.SetEntry("ITEM #");
  book.SetActiveCell(2, 3);
  book.SetEntry("10");
  book.SetActiveCell(2, 6);
  book.SetEntry("=SUM(C2:E2)");
  QAbstractItemModel* model = static_cast<QTableView*>(book.Widget())->model();
  EXPECT_EQ(model->headerData(5, Qt::Horizontal).toString(), "F");
  EXPECT_EQ(model->headerData(1, Qt::Vertical).toInt(), 2);
  EXPECT_TRUE(model->data(model->index(0, 0), Qt::FontRole).value<QFont>().bold());
  EXPECT_FALSE(model->data(model->index(1, 0), Qt::FontRole).isValid());
  EXPECT_EQ(model->data(model->index(1, 5), Qt::DisplayRole).toString(), "10");
  EXPECT_EQ(model->data(model->index(1, 5), Qt::EditRole).toString(), "=SUM(C2:E2)");

  // The user types a shipping cost: the line's total follows.
  EXPECT_TRUE(model->setData(model->index(1, 3), "4.50", Qt::EditRole));
  EXPECT_EQ(model->data(model->index(1, 5), Qt::DisplayRole).toString(), "14.5");
  EXPECT_EQ(book.TextRC(2, 6).str(), "14.5");
  // Clicking a cell makes it the active cell.
  static_cast<QTableView*>(book.Widget())->setCurrentIndex(model->index(9, 2));
  EXPECT_EQ(book.ActiveRow(), 10);
  EXPECT_EQ(book.ActiveCol(), 3);
}

// A column set to a count of digits shows a number of that many digits whole in the grid, and
// the grid shows a cell's number format.
TEST(F1Book, ColumnWidthHoldsItsDigitsAndTheGridShowsTheNumberFormat) {
  TF1Book book(nullptr);
  auto* grid = static_cast<QTableView*>(book.Widget());
  book.SetActiveCell(2, 2);
  book.SetText("888888888888");
  const int needed = grid->sizeHintForIndex(grid->model()->index(1, 1)).width() + 1;
  EXPECT_LT(grid->columnWidth(1), needed);  // the grid's default width cuts it
  book.SetColWidth(2, 3, 12);
  EXPECT_GE(grid->columnWidth(1), needed);
  EXPECT_EQ(grid->columnWidth(2), grid->columnWidth(1));
  EXPECT_LT(grid->columnWidth(3), needed);
  EXPECT_THROW(book.SetColWidth(0, 1, 12), EF1BookError);

  book.SetFixedDecimals(2, 3, 2, 3, 2);
  book.SetActiveCell(2, 3);
  book.SetEntry("4.5");
  EXPECT_EQ(grid->model()->index(1, 2).data().toString(), "4.50");
  EXPECT_EQ(book.Text().str(), "4.50");
  book.ClearRange(2, 3, 2, 3, F1ClearAll);
  book.SetEntry("4.5");
  EXPECT_EQ(book.Text().str(), "4.5");
}

TEST(F1Book, ArithmeticTypedIntoTheGridFollowsTheUsersEdits) {
  TF1Book book(nullptr);
  QAbstractItemModel* model = static_cast<QTableView*>(book.Widget())->model();
  EXPECT_TRUE(model->setData(model->index(1, 2), "12.50", Qt::EditRole));
  EXPECT_TRUE(model->setData(model->index(1, 5), "=(C2-D2)/2+SUM(C2:D2)", Qt::EditRole));
  EXPECT_EQ(model->data(model->index(1, 5), Qt::DisplayRole).toString(), "18.75");
  EXPECT_TRUE(model->setData(model->index(1, 3), "2.5", Qt::EditRole));
  EXPECT_EQ(model->data(model->index(1, 5), Qt::DisplayRole).toString(), "20");
  EXPECT_TRUE(model->setData(model->index(1, 3), "free", Qt::EditRole));
  EXPECT_EQ(book.TextRC(2, 6).str(), "#VALUE!");
  EXPECT_EQ(book.EntryRC(2, 6).str(), "=(C2-D2)/2+SUM(C2:D2)");
}

}  // namespace
