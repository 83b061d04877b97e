#include "forms/ListView.h"

#include <QAbstractItemDelegate>
#include <QAbstractTableModel>
#include <QFont>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <utility>

#include "forms/NewWidget.h"

namespace {
EListError indexError(int index) {
  return EListError("List index out of bounds (" + AnsiString(index) + ")");
}

// Whether a caption is the wanted text (or begins with it when partial), letter case ignored.
// Texts of ASCII bytes are compared byte by byte, which agrees with Unicode's case folding for
// them and costs no conversion; any other text is compared through Unicode, as it is shown.
class CaptionMatch {
 public:
  CaptionMatch(const AnsiString& value, bool partial)
      : value_(value.str()), partial_(partial), valueAscii_(isAscii(value_)) {}

  bool operator()(const AnsiString& caption) const {
    // One byte is one character, also after case folding: a length that differs never matches.
    const std::string& shown = caption.str();
    if (partial_ ? shown.size() < value_.size() : shown.size() != value_.size()) return false;
    if (valueAscii_ && isAscii(shown)) {
      return std::equal(value_.begin(), value_.end(), shown.begin(),
                        [](char a, char b) { return asciiUpper(a) == asciiUpper(b); });
    }
    const QString text = caption.toQString();
    if (!wantedMade_) {
      wanted_ = AnsiString(value_).toQString();
      wantedMade_ = true;
    }
    if (partial_) return text.startsWith(wanted_, Qt::CaseInsensitive);
    return text.compare(wanted_, Qt::CaseInsensitive) == 0;
  }

 private:
  static bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  }
  static char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

  const std::string& value_;
  bool partial_;
  bool valueAscii_;
  mutable QString wanted_;  // made when a text that is not ASCII is first compared
  mutable bool wantedMade_ = false;
};

// The key under which a list keeps a caption: its bytes with the ASCII letters upper-cased and
// every other byte above 0x7F made one and the same. Two captions that FindCaption takes for
// equal always share it: they have as many bytes, and in Windows-1252 no byte above 0x7F
// folds to an ASCII letter or from one.
std::string captionKey(const AnsiString& caption) {
  std::string key = caption.str();
  for (char& c : key) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
    else if (static_cast<unsigned char>(c) >= 0x80)
      c = static_cast<char>(0x80);
  }
  return key;
}

// A stable bottom-up merge sort over the rows' pointers. It only compares rows it holds and
// writes inside its two buffers, so a comparison that is no consistent ordering cannot make it
// run outside them; a throwing comparison leaves the caller's rows as they were.
std::vector<TListItem*> mergeSorted(std::vector<TListItem*> order,
                                    const std::function<int(TListItem*, TListItem*)>& compare) {
  const std::size_t count = order.size();
  std::vector<TListItem*> merged(count);
  for (std::size_t width = 1; width < count; width *= 2) {
    for (std::size_t low = 0; low < count; low += 2 * width) {
      const std::size_t middle = std::min(low + width, count);
      const std::size_t high = std::min(low + 2 * width, count);
      std::size_t left = low, right = middle, out = low;
      while (left < middle && right < high)
        merged[out++] = compare(order[left], order[right]) > 0 ? order[right++] : order[left++];
      while (left < middle) merged[out++] = order[left++];
      while (right < high) merged[out++] = order[right++];
    }
    order.swap(merged);
  }
  return order;
}
}  // namespace

// The list's widget. It hands its item options out, so that the model can size a cell as the
// widget's own delegate does.
class ListTable : public QTableView {
 public:
  void itemOption(QStyleOptionViewItem* option) const { initViewItemOption(option); }
};

// Shows the list view's rows; reads them at every paint, so the widget never holds a copy.
class ListViewModel : public QAbstractTableModel {
 public:
  ListViewModel(TListView* view, QObject* parent) : QAbstractTableModel(parent), view_(view) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : view_->Items()->Count();
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : std::max(view_->Columns()->Count(), 1);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= view_->Items()->Count()) return {};
    if (role == Qt::TextAlignmentRole) return alignmentOf(index.column());
    if (role == Qt::SizeHintRole) return sizeOf(index);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return textOf(index);
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section >= view_->Columns()->Count()) return {};
    if (role == Qt::DisplayRole) return view_->Columns()->Items(section)->Caption().toQString();
    if (role == Qt::TextAlignmentRole) return alignmentOf(section);
    return {};
  }

  // A row added in this turn of the event loop is being filled: the widget learns of each of
  // its cells at once, as it lays the new rows out later anyway. Changes of older rows, which a
  // shown widget would lay out again one by one (sizing its columns to their contents each
  // time), reach it together when the turn ends, or before the next change of the rows' order.
  void rowChanged(int row) {
    if (row >= freshFrom_) {
      emit dataChanged(index(row, 0), index(row, columnCount({}) - 1));
      return;
    }
    firstChanged_ = std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
    endTurnLater();
  }
  void beginInsert(int row) {
    flushChanges();
    freshFrom_ = std::min(freshFrom_, row);
    endTurnLater();
    beginInsertRows({}, row, row);
  }
  void endInsert() { endInsertRows(); }
  void beginRemove(int first, int last) {
    flushChanges();
    freshFrom_ = std::min(freshFrom_, first);
    beginRemoveRows({}, first, last);
  }
  void endRemove() { endRemoveRows(); }
  void beginReset() {
    flushChanges();
    freshFrom_ = 0;
    beginResetModel();
  }
  void endReset() { endResetModel(); }

  // Moves every persistent index (the selection among them) with its row.
  // newRowOf[old row] is the row's place after the sort.
  void reordered(const std::vector<int>& newRowOf) {
    flushChanges();
    freshFrom_ = 0;  // rows added in this turn may stand anywhere now
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before) {
      const auto old = static_cast<std::size_t>(index.row());
      after.push_back(old < newRowOf.size() ? this->index(newRowOf[old], index.column())
                                            : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
  }

 private:
  QVariant alignmentOf(int column) const {
    if (column >= view_->Columns()->Count()) return {};
    switch (view_->Columns()->Items(column)->Alignment()) {
      case taCenter:
        return int(Qt::AlignCenter);
      case taRightJustify:
        return int(Qt::AlignRight | Qt::AlignVCenter);
      case taLeftJustify:
        break;
    }
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  }
  QString textOf(const QModelIndex& index) const {
    const TListItem* item = view_->Items()->Item(index.row());
    if (index.column() == 0) return item->Caption().toQString();
    const int sub = index.column() - 1;
    if (sub >= item->SubItems()->Count()) return QString();
    return item->SubItems()->Strings(sub).toQString();
  }

  // A column sized to its contents asks every cell's size, and the delegate lays each text out
  // to tell it: the size a text has in a column is asked of the delegate once and kept, for as
  // long as the widget's font and style stay.
  QVariant sizeOf(const QModelIndex& index) const {
    auto* table = dynamic_cast<ListTable*>(view_->Widget());
    if (sizing_ || !table || !table->itemDelegate()) return {};
    if (table->font() != sizedFont_ || table->style() != sizedStyle_) {
      sizes_.clear();
      sizedFont_ = table->font();
      sizedStyle_ = table->style();
    }
    const std::pair<int, QString> key(index.column(), textOf(index));
    const auto known = sizes_.constFind(key);
    if (known != sizes_.constEnd()) return *known;
    if (sizes_.size() >= maxKeptSizes) sizes_.clear();
    QStyleOptionViewItem option;
    table->itemOption(&option);
    sizing_ = true;
    const QSize size = table->itemDelegate()->sizeHint(option, index);
    sizing_ = false;
    sizes_.insert(key, size);
    return size;
  }

  void endTurnLater() {
    if (turnEndPending_) return;
    turnEndPending_ = true;
    QTimer::singleShot(0, this, [this] {
      turnEndPending_ = false;
      flushChanges();
      freshFrom_ = std::numeric_limits<int>::max();
    });
  }
  void flushChanges() {
    const int last = std::min(lastChanged_, rowCount({}) - 1);
    if (firstChanged_ <= last)
      emit dataChanged(index(firstChanged_, 0), index(last, columnCount({}) - 1));
    firstChanged_ = std::numeric_limits<int>::max();
    lastChanged_ = -1;
  }

  TListView* view_;
  static constexpr qsizetype maxKeptSizes = 100000;
  mutable QHash<std::pair<int, QString>, QSize> sizes_;  // by column and text
  mutable QFont sizedFont_;
  mutable const QStyle* sizedStyle_ = nullptr;
  mutable bool sizing_ = false;  // the delegate is sizing a cell: it gets no size of ours
  bool turnEndPending_ = false;
  int freshFrom_ = std::numeric_limits<int>::max();  // rows from here on came in this turn
  int firstChanged_ = std::numeric_limits<int>::max();
  int lastChanged_ = -1;
};

void TListColumn::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  owner_->columnsChanged();
}
void TListColumn::SetWidth(int width) {
  width_ = width;
  owner_->columnsChanged();
}
void TListColumn::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  owner_->columnsChanged();
}
void TListColumn::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  owner_->columnsChanged();
}

TListColumn* TListColumns::Add() {
  columns_.push_back(std::unique_ptr<TListColumn>(new TListColumn(owner_, Count())));
  owner_->columnsChanged();
  return columns_.back().get();
}

TListColumn* TListColumns::Items(int index) const {
  if (index < 0 || index >= Count()) throw indexError(index);
  return columns_[static_cast<std::size_t>(index)].get();
}

TListSubItems& TListSubItems::operator=(const TStringList& other) {
  TStringList::Clear();
  for (int i = 0; i < other.Count(); ++i) TStringList::Add(other.Strings(i));
  changed();
  return *this;
}
void TListSubItems::SetStrings(int index, const AnsiString& value) {
  TStringList::SetStrings(index, value);
  changed();
}
int TListSubItems::Add(const AnsiString& line) {
  const int index = TStringList::Add(line);
  changed();
  return index;
}
void TListSubItems::Insert(int index, const AnsiString& line) {
  TStringList::Insert(index, line);
  changed();
}
void TListSubItems::Delete(int index) {
  TStringList::Delete(index);
  changed();
}
void TListSubItems::Clear() {
  TStringList::Clear();
  changed();
}
void TListSubItems::SetText(const AnsiString& text) {
  TStringList::SetText(text);
  changed();
}
void TListSubItems::changed() { item_->changed(); }

void TListItem::SetCaption(const AnsiString& caption) {
  owner_->Items()->captionChanging(this, caption);
  caption_ = caption;
  changed();
}
void TListItem::changed() { owner_->rowChanged(this); }
int TListItem::Index() const { return owner_->Items()->IndexOf(this); }
bool TListItem::Selected() const { return owner_->Selected() == this; }
void TListItem::SetSelected(bool selected) {
  if (selected)
    owner_->SetSelected(this);
  else if (Selected())
    owner_->SetSelected(nullptr);
}
void TListItem::Delete() { owner_->Items()->Delete(Index()); }

TListItems::~TListItems() = default;

TListItem* TListItems::Add() {
  const int row = Count();
  ListViewModel* model = owner_->model_;
  if (model) model->beginInsert(row);
  items_.push_back(std::unique_ptr<TListItem>(new TListItem(owner_)));
  TListItem* item = items_.back().get();
  item->row_ = row;
  byCaption_[std::string()].push_back(item);
  if (model) model->endInsert();
  return item;
}

TListItem* TListItems::Item(int index) const {
  if (index < 0 || index >= Count()) throw indexError(index);
  return items_[static_cast<std::size_t>(index)].get();
}

void TListItems::Clear() {
  if (items_.empty()) return;
  ListViewModel* model = owner_->model_;
  if (model) model->beginRemove(0, Count() - 1);
  byCaption_.clear();
  items_.clear();
  if (model) model->endRemove();
}

void TListItems::Delete(int index) {
  if (index < 0 || index >= Count()) throw indexError(index);
  ListViewModel* model = owner_->model_;
  if (model) model->beginRemove(index, index);
  std::unique_ptr<TListItem> gone = std::move(items_[static_cast<std::size_t>(index)]);
  unlistCaption(gone.get());
  items_.erase(items_.begin() + index);
  renumberFrom(static_cast<std::size_t>(index));
  if (model) model->endRemove();
}

int TListItems::IndexOf(const TListItem* item) const {
  if (!item) return -1;
  const auto row = static_cast<std::size_t>(item->row_);
  return row < items_.size() && items_[row].get() == item ? item->row_ : -1;
}

const std::vector<TListItem*>* TListItems::rowsCaptioned(const AnsiString& caption) const {
  const auto found = byCaption_.find(captionKey(caption));
  return found == byCaption_.end() ? nullptr : &found->second;
}

void TListItems::captionChanging(TListItem* item, const AnsiString& caption) {
  std::string key = captionKey(caption);
  if (key == captionKey(item->caption_)) return;
  unlistCaption(item);
  byCaption_[std::move(key)].push_back(item);
}

void TListItems::unlistCaption(TListItem* item) {
  const auto found = byCaption_.find(captionKey(item->caption_));
  if (found == byCaption_.end()) return;
  std::vector<TListItem*>& rows = found->second;
  const auto at = std::find(rows.begin(), rows.end(), item);
  if (at != rows.end()) {
    *at = rows.back();
    rows.pop_back();
  }
  if (rows.empty()) byCaption_.erase(found);
}

void TListItems::renumberFrom(std::size_t first) {
  for (std::size_t i = first; i < items_.size(); ++i) items_[i]->row_ = static_cast<int>(i);
}

TListView::TListView(TComponent* owner)
    : TControl(owner, NewWidget<ListTable>()), columns_(this), items_(this) {
  auto* table = widgetAs<QTableView>();
  model_ = new ListViewModel(this, table);
  table->setModel(model_.data());
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
  table->horizontalHeader()->setSectionsClickable(true);
  table->horizontalHeader()->setHighlightSections(false);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setSelectionBehavior(QAbstractItemView::SelectItems);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setWordWrap(false);
  table->setShowGrid(false);
  QObject::connect(
      table->horizontalHeader(), &QHeaderView::sectionClicked, table, [this](int section) {
        if (!OnColumnClick || section >= columns_.Count()) return;
        TLVColumnClickEvent handler = OnColumnClick;
        TApplication::RunGuarded(this, [&] { handler(this, columns_.Items(section)); });
      });
  QObject::connect(table, &QTableView::clicked, table, [this] {
    if (!OnClick) return;
    TNotifyEvent handler = OnClick;
    TApplication::RunGuarded(this, [&] { handler(this); });
  });
}

TListView::~TListView() {
  // The rows go before the model that shows them.
  if (auto* table = widgetAs<QTableView>()) table->setModel(nullptr);
}

TListItem* TListView::Selected() const {
  auto* table = widgetAs<QTableView>();
  if (!table || !table->selectionModel()) return nullptr;
  const QModelIndexList chosen = table->selectionModel()->selectedIndexes();
  if (chosen.isEmpty()) return nullptr;
  const int row = chosen.front().row();
  return row >= 0 && row < items_.Count() ? items_.Item(row) : nullptr;
}

void TListView::SetSelected(TListItem* item) {
  auto* table = widgetAs<QTableView>();
  if (!table || !table->selectionModel()) return;
  const int row = item ? items_.IndexOf(item) : -1;
  if (row < 0) {
    table->selectionModel()->clearSelection();
    return;
  }
  if (!model_) return;
  const QModelIndex index = model_->index(row, 0);
  const auto flags = QItemSelectionModel::ClearAndSelect |
                     (rowSelect_ ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate);
  table->selectionModel()->setCurrentIndex(index, flags);
}

TListItem* TListView::FindCaption(int start, const AnsiString& value, bool partial, bool inclusive,
                                  bool wrap) const {
  const CaptionMatch matches(value, partial);
  const int count = items_.Count();
  const int first = std::max(inclusive ? start : start + 1, 0);
  if (!partial) {
    // The first match from first on, else (wrapping) the first match before it.
    const std::vector<TListItem*>* rows = items_.rowsCaptioned(value);
    if (!rows) return nullptr;
    TListItem* fromFirst = nullptr;
    TListItem* beforeFirst = nullptr;
    for (TListItem* item : *rows) {
      if (!matches(item->Caption())) continue;
      TListItem*& best = item->row_ >= first ? fromFirst : beforeFirst;
      if (!best || item->row_ < best->row_) best = item;
    }
    return fromFirst ? fromFirst : wrap ? beforeFirst : nullptr;
  }
  for (int i = first; i < count; ++i)
    if (matches(items_.Item(i)->Caption())) return items_.Item(i);
  if (!wrap) return nullptr;
  for (int i = 0; i < std::min(first, count); ++i)
    if (matches(items_.Item(i)->Caption())) return items_.Item(i);
  return nullptr;
}

bool TListView::AlphaSort() { return CustomSort(TLVSortProc(), 0); }

bool TListView::CustomSort(const TLVSortProc& proc, int data) {
  if (proc) {
    sortWith([&](TListItem* a, TListItem* b) { return proc(a, b, data); });
  } else if (OnCompare) {
    TLVCompareEvent handler = OnCompare;
    sortWith([&](TListItem* a, TListItem* b) {
      int compare = 0;
      handler(this, a, b, data, compare);
      return compare;
    });
  } else {
    sortWith([](TListItem* a, TListItem* b) {
      return a->Caption().toQString().compare(b->Caption().toQString(), Qt::CaseInsensitive);
    });
  }
  return true;
}

void TListView::sortWith(const std::function<int(TListItem*, TListItem*)>& compare) {
  std::vector<TListItem*> order;
  for (int i = 0; i < items_.Count(); ++i) order.push_back(items_.Item(i));
  order = mergeSorted(std::move(order), compare);  // a throw leaves the rows untouched
  std::vector<std::unique_ptr<TListItem>> sorted(order.size());
  std::vector<int> newRowOf(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    const int old = order[i]->row_;
    newRowOf[static_cast<std::size_t>(old)] = static_cast<int>(i);
    sorted[i] = std::move(items_.items_[static_cast<std::size_t>(old)]);
  }
  items_.items_ = std::move(sorted);
  items_.renumberFrom(0);
  if (model_) model_->reordered(newRowOf);
}

void TListView::SetRowSelect(bool rowSelect) {
  rowSelect_ = rowSelect;
  if (auto* table = widgetAs<QTableView>())
    table->setSelectionBehavior(rowSelect ? QAbstractItemView::SelectRows
                                          : QAbstractItemView::SelectItems);
}

void TListView::SetGridLines(bool gridLines) {
  gridLines_ = gridLines;
  if (auto* table = widgetAs<QTableView>()) table->setShowGrid(gridLines);
}

void TListView::columnsChanged() {
  auto* table = widgetAs<QTableView>();
  if (!table || !model_) return;
  model_->beginReset();
  model_->endReset();
  QHeaderView* header = table->horizontalHeader();
  for (int i = 0; i < columns_.Count(); ++i) {
    const TListColumn* column = columns_.Items(i);
    header->setSectionResizeMode(
        i, column->AutoSize() ? QHeaderView::ResizeToContents : QHeaderView::Interactive);
    if (!column->AutoSize()) header->resizeSection(i, column->Width());
  }
}

void TListView::rowChanged(const TListItem* item) {
  const int row = items_.IndexOf(item);
  if (row >= 0 && model_) model_->rowChanged(row);
}

void TListView::rowsChanged() {
  if (!model_) return;
  model_->beginReset();
  model_->endReset();
}
