#pragma once
// TPopupMenu and its TMenuItem entries. An item captioned "-" is a separator.
#include <vector>

#include <QPointer>

#include "forms/FormsErrors.h"
#include "lib/AnsiString.h"
#include "lib/Classes.h"

class QAction;
class QMenu;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  bool IsLine() const { return caption_ == "-"; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // Sub-items (a popup menu's Items is its root item).
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  TMenuItem* Items(int index) const;
  TMenuItem* Parent() const { return parent_; }

  // Runs OnClick as choosing the item would.
  void Click();

  TNotifyEvent OnClick;

 private:
  friend class TPopupMenu;
  void rebuild(QMenu* menu) const;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  AnsiString caption_;
  bool enabled_ = true;
  bool visible_ = true;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  TMenuItem* Items() { return &root_; }
  // Opens the menu at a screen position; returns at once, the chosen item's OnClick runs
  // from the event loop.
  void Popup(int x, int y);
  // The Qt menu built from the items (rebuilt on each call).
  QMenu* Menu();

  TNotifyEvent OnPopup;

 private:
  TMenuItem root_;
  QPointer<QMenu> menu_;
};
