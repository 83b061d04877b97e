#pragma once
// TListView in report style: columns, rows of a caption and sub-items, one selected row.
//
// Rows live in the list view; the widget shows them through a model that reads them, so
// every change of a caption or of SubItems shows. Reading a sub-item that a row lacks raises
// EStringListError, as the string list does.
//
// FindCaption of a whole caption is a look-up, not a walk over the rows: the list keeps its
// rows by caption (letter case folded) and every row knows its place, both kept in step with
// every add, delete, caption edit, clear and sort.
//
// Sorting (AlphaSort, CustomSort) asks the comparison for pairs of rows; it need not be a
// consistent ordering (a comparison that never answers 0, or contradicts itself, is fine):
// the sort is a stable merge sort that only ever compares rows it holds and keeps every row,
// also when the comparison throws (the rows then keep their old order and the exception goes
// on to the caller).
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "forms/Control.h"
#include "forms/FormsErrors.h"
#include "lib/StringList.h"

class TListView;
class TListItem;
class ListViewModel;

class TListColumn {
 public:
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  int Width() const { return width_; }
  void SetWidth(int width);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  int Index() const { return index_; }

 private:
  friend class TListColumns;
  TListColumn(TListView* owner, int index) : owner_(owner), index_(index) {}
  TListView* owner_;
  int index_;
  AnsiString caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = false;
};

class TListColumns {
 public:
  explicit TListColumns(TListView* owner) : owner_(owner) {}
  TListColumn* Add();
  int Count() const { return static_cast<int>(columns_.size()); }
  // Raises EListError outside 0..Count-1.
  TListColumn* Items(int index) const;
  TListColumn* operator[](int index) const { return Items(index); }

 private:
  TListView* owner_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
};

// A row's sub-items: a string list whose changes show in the list view.
class TListSubItems : public TStringList {
 public:
  explicit TListSubItems(TListItem* item) : item_(item) {}
  TListSubItems& operator=(const TStringList& other);
  void SetStrings(int index, const AnsiString& value);
  int Add(const AnsiString& line);
  void Insert(int index, const AnsiString& line);
  void Delete(int index);
  void Clear();
  void SetText(const AnsiString& text);

 private:
  void changed();
  TListItem* item_;
};

class TListItem {
 public:
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  TListSubItems* SubItems() { return &subItems_; }
  const TListSubItems* SubItems() const { return &subItems_; }
  int Index() const;
  TListView* ListView() const { return owner_; }
  bool Selected() const;
  void SetSelected(bool selected);
  // Removes the row from its list view and frees it.
  void Delete();

 private:
  friend class TListItems;
  friend class TListSubItems;
  friend class TListView;
  explicit TListItem(TListView* owner) : owner_(owner), subItems_(this) {}
  void changed();
  TListView* owner_;
  AnsiString caption_;
  TListSubItems subItems_;
  int row_ = -1;  // where the row stands in its list
};

class TListItems {
 public:
  explicit TListItems(TListView* owner) : owner_(owner) {}
  ~TListItems();
  // Appends an empty row.
  TListItem* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  TListItem* Item(int index) const;
  TListItem* operator[](int index) const { return Item(index); }
  void Clear();
  void Delete(int index);
  int IndexOf(const TListItem* item) const;

 private:
  friend class TListView;
  friend class TListItem;
  friend class ListViewModel;
  // The rows whose captions may equal caption with letter case ignored: those of the same
  // length whose ASCII letters agree when folded (any other byte only narrows the choice down).
  const std::vector<TListItem*>* rowsCaptioned(const AnsiString& caption) const;
  void captionChanging(TListItem* item, const AnsiString& caption);
  void unlistCaption(TListItem* item);
  // Gives the rows from first on their places again.
  void renumberFrom(std::size_t first);

  TListView* owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
  std::unordered_map<std::string, std::vector<TListItem*>> byCaption_;
};

// Compare < 0: Item1 goes before Item2; otherwise after (ties keep their order).
using TLVCompareEvent = std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2,
                                           int Data, int& Compare)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
// A sort function for CustomSort: <0 puts the first row before the second.
using TLVSortProc = std::function<int(TListItem* Item1, TListItem* Item2, int Data)>;

class TListView : public TControl {
 public:
  explicit TListView(TComponent* owner);
  ~TListView() override;

  TListColumns* Columns() { return &columns_; }
  TListItems* Items() { return &items_; }

  // The selected row, null when none.
  TListItem* Selected() const;
  void SetSelected(TListItem* item);

  // First row from start (including it when inclusive) whose caption is value: the whole
  // caption (or its beginning when partial), letter case ignored; with wrap the search goes
  // on from the first row up to start. Null when none.
  TListItem* FindCaption(int start, const AnsiString& value, bool partial, bool inclusive,
                         bool wrap) const;

  // Sorts with OnCompare (Data 0), or by caption (case ignored) without one.
  bool AlphaSort();
  // Sorts with proc, or with OnCompare (Data data) when proc is empty.
  bool CustomSort(const TLVSortProc& proc, int data);

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool rowSelect);
  bool GridLines() const { return gridLines_; }
  void SetGridLines(bool gridLines);

  TLVCompareEvent OnCompare;
  TLVColumnClickEvent OnColumnClick;
  TNotifyEvent OnClick;

 private:
  friend class TListColumn;
  friend class TListColumns;
  friend class TListItem;
  friend class TListItems;
  void columnsChanged();
  void rowChanged(const TListItem* item);
  void rowsChanged();
  void sortWith(const std::function<int(TListItem*, TListItem*)>& compare);

  TListColumns columns_;
  TListItems items_;
  QPointer<ListViewModel> model_;  // owned by the widget
  bool readOnly_ = false;
  bool rowSelect_ = false;
  bool gridLines_ = false;
};
