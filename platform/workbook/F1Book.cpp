#include "workbook/F1Book.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>

#include "forms/NewWidget.h"
#include "lib/SysUtils.h"

// The grid's view of the sheet: each cell shows its value and is edited as its entry.
class F1BookModel : public QAbstractTableModel {
 public:
  F1BookModel(TF1Book* book, QObject* parent) : QAbstractTableModel(parent), book_(book) {}

  void detach() { book_ = nullptr; }
  void sheetChanged() {
    dataChanged(index(0, 0), index(CellSheet::maxRows - 1, CellSheet::maxColumns - 1));
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : CellSheet::maxRows;
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : CellSheet::maxColumns;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!book_ || !index.isValid()) return {};
    const CellRef cell = cellOf(index);
    const CellSheet& sheet = book_->sheet_;
    switch (role) {
      case Qt::DisplayRole:
        return sheet.shown(cell).toQString();
      case Qt::EditRole:
        return sheet.entry(cell).toQString();
      case Qt::FontRole:
        if (sheet.isHeading(cell)) {
          QFont bold;
          bold.setBold(true);
          return bold;
        }
        return {};
      case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (sheet.isNumeric(cell) ? Qt::AlignRight : Qt::AlignLeft));
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return ColumnLetters(section + 1).toQString();
    return section + 1;
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
  }

  // The user's typing into a cell.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!book_ || !index.isValid() || role != Qt::EditRole) return false;
    book_->sheet_.setEntry(cellOf(index), AnsiString::fromQString(value.toString()));
    book_->changed();
    return true;
  }

 private:
  static CellRef cellOf(const QModelIndex& index) { return {index.row() + 1, index.column() + 1}; }

  TF1Book* book_;
};

TF1Book::TF1Book(TComponent* owner) : TControl(owner, NewWidget<QTableView>()) {
  auto* grid = widgetAs<QTableView>();
  model_ = new F1BookModel(this, grid);
  grid->setModel(model_);
  grid->verticalHeader()->setDefaultSectionSize(20);
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->horizontalHeader()->setDefaultSectionSize(80);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, grid,
                   [this](const QModelIndex& current, const QModelIndex&) {
                     announcedCell_ = current;
                     if (current.isValid()) active_ = {current.row() + 1, current.column() + 1};
                   });
  showActiveCell();
}

TF1Book::~TF1Book() {
  if (model_) model_->detach();
}

CellRef TF1Book::checkedCell(int row, int column) {
  const CellRef cell{row, column};
  if (!CellSheet::isInside(cell))
    throw EF1BookError("Cell (" + IntToStr(row) + ", " + IntToStr(column) +
                       ") is outside the sheet");
  return cell;
}

CellRange TF1Book::checkedRange(int row1, int column1, int row2, int column2) {
  const CellRef first = checkedCell(row1, column1);
  const CellRef last = checkedCell(row2, column2);
  return {{std::min(first.row, last.row), std::min(first.column, last.column)},
          {std::max(first.row, last.row), std::max(first.column, last.column)}};
}

// The grid learns of the program's writes and moves of the active cell once per turn of the
// event loop, whatever their number: a plan sheet of thousands of cells is repainted, selected
// and scrolled once, to the cell it ends on, instead of at every cell it passes.
void TF1Book::changed() {
  sheetChanged_ = true;
  scheduleGridUpdate();
}

// The grid's current cell follows the active cell at once, unannounced; the grid's own work for
// the move (the selection, scrolling there, repainting) comes with the next grid update.
void TF1Book::showActiveCell() {
  auto* grid = widgetAs<QTableView>();
  if (!grid || !model_) return;
  const QSignalBlocker quiet(grid->selectionModel());
  grid->selectionModel()->setCurrentIndex(model_->index(active_.row - 1, active_.column - 1),
                                          QItemSelectionModel::NoUpdate);
  scheduleGridUpdate();
}

void TF1Book::scheduleGridUpdate() {
  auto* grid = widgetAs<QTableView>();
  if (!grid || gridUpdatePending_) return;
  gridUpdatePending_ = true;
  QTimer::singleShot(0, grid, [this] { updateGrid(); });
}

void TF1Book::updateGrid() {
  gridUpdatePending_ = false;
  auto* grid = widgetAs<QTableView>();
  if (!grid || !model_) return;
  if (sheetChanged_) {
    sheetChanged_ = false;
    model_->sheetChanged();
  }
  // One announced move, from the cell the grid last knew as current to the active cell.
  QItemSelectionModel* selection = grid->selectionModel();
  const QModelIndex target = selection->currentIndex();
  if (target == announcedCell_) return;
  {
    const QSignalBlocker quiet(selection);
    selection->setCurrentIndex(announcedCell_, QItemSelectionModel::NoUpdate);
  }
  grid->setCurrentIndex(target);
}

AnsiString TF1Book::Text() const { return sheet_.shown(active_); }
AnsiString TF1Book::Entry() const { return sheet_.entry(active_); }

void TF1Book::SetText(const AnsiString& text) {
  sheet_.setText(active_, text);
  changed();
}

void TF1Book::SetEntry(const AnsiString& entry) {
  sheet_.setEntry(active_, entry);
  changed();
}

void TF1Book::SetActiveCell(int row, int column) {
  active_ = checkedCell(row, column);
  showActiveCell();
}

AnsiString TF1Book::TextRC(int row, int column) const {
  return sheet_.shown(checkedCell(row, column));
}

AnsiString TF1Book::EntryRC(int row, int column) const {
  return sheet_.entry(checkedCell(row, column));
}

void TF1Book::ClearRange(int row1, int column1, int row2, int column2, short clearType) {
  const CellRange range = checkedRange(row1, column1, row2, column2);
  if (clearType != F1ClearAll)
    throw EF1BookError("Clear kind " + IntToStr(clearType) + " is not known");
  sheet_.clear(range);
  changed();
}

void TF1Book::SetHeadingRange(int row1, int column1, int row2, int column2, bool heading) {
  sheet_.setHeading(checkedRange(row1, column1, row2, column2), heading);
  changed();
}

bool TF1Book::IsHeading(int row, int column) const {
  return sheet_.isHeading(checkedCell(row, column));
}

void TF1Book::SetFixedDecimals(int row1, int column1, int row2, int column2, int decimals) {
  sheet_.setDecimals(checkedRange(row1, column1, row2, column2), decimals);
  changed();
}

void TF1Book::SetColWidth(int column1, int column2, int digits) {
  const CellRange columns = checkedRange(1, column1, 1, column2);
  auto* grid = widgetAs<QTableView>();
  if (!grid) return;
  // The room the grid's cells take for such a text, as they measure it, and the grid line.
  QStyleOptionViewItem cell;
  cell.initFrom(grid);
  cell.font = grid->font();
  cell.fontMetrics = grid->fontMetrics();
  cell.features = QStyleOptionViewItem::HasDisplay;
  cell.text = QString(std::max(digits, 0), '0');
  const int width =
      grid->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), grid).width() + 1;
  for (int column = columns.first.column; column <= columns.last.column; ++column)
    grid->setColumnWidth(column - 1, width);
}
