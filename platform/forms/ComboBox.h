#pragma once
// TComboBox as a drop-down list: the user picks one of its items.
//
// OnChange fires when the user picks an item, never for changes made by the program: filling
// the list, setting Text or ItemIndex fire nothing. A refilled list shows no choice until one
// is made.
#include "forms/Control.h"
#include "lib/StringList.h"

class TComboBox;

// The combo box's items: a string list whose changes show in the box.
class TComboItems {
 public:
  explicit TComboItems(TComboBox* owner) : owner_(owner) {}
  int Count() const { return lines_.Count(); }
  const AnsiString& Strings(int index) const { return lines_.Strings(index); }
  const AnsiString& operator[](int index) const { return lines_.Strings(index); }
  int Add(const AnsiString& item);
  void Clear();
  void Delete(int index);
  int IndexOf(const AnsiString& item) const { return lines_.IndexOf(item); }
  AnsiString Text() const { return lines_.Text(); }

 private:
  TComboBox* owner_;
  TStringList lines_;
};

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TControl {
 public:
  explicit TComboBox(TComponent* owner);

  TComboItems* Items() { return &items_; }
  // The chosen item's text, empty when none is chosen.
  AnsiString Text() const;
  // Chooses the item with that text (letter case ignored), or none when there is none.
  void SetText(const AnsiString& text);
  int ItemIndex() const;
  void SetItemIndex(int index);

  TComboBoxStyle Style() const { return csDropDownList; }

  TNotifyEvent OnChange;

 private:
  friend class TComboItems;
  TComboItems items_;
};
