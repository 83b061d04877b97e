#include "forms/Menus.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

#include "forms/Application.h"

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  if (parent_) parent_->Remove(this);
  for (TMenuItem* item : items_) item->parent_ = nullptr;
}

void TMenuItem::SetCaption(const AnsiString& caption) { caption_ = caption; }
void TMenuItem::SetEnabled(bool enabled) { enabled_ = enabled; }
void TMenuItem::SetVisible(bool visible) { visible_ = visible; }

void TMenuItem::Add(TMenuItem* item) {
  if (!item || item == this) return;
  if (item->parent_) item->parent_->Remove(item);
  item->parent_ = this;
  items_.push_back(item);
}

void TMenuItem::Remove(TMenuItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  if (item && item->parent_ == this) item->parent_ = nullptr;
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count())
    throw EListError("List index out of bounds (" + AnsiString(index) + ")");
  return items_[static_cast<std::size_t>(index)];
}

void TMenuItem::Click() {
  if (!OnClick) return;
  TNotifyEvent handler = OnClick;
  handler(this);
}

// Fills menu with the sub-items; each action knows its item by the item's place in the tree
// at this moment, and the menu is rebuilt before every showing.
void TMenuItem::rebuild(QMenu* menu) const {
  menu->clear();
  for (TMenuItem* item : items_) {
    if (!item->visible_) continue;
    if (item->IsLine()) {
      menu->addSeparator();
      continue;
    }
    if (item->Count() > 0) {
      QMenu* sub = menu->addMenu(item->caption_.toQString());
      sub->setEnabled(item->enabled_);
      item->rebuild(sub);
      continue;
    }
    QAction* action = menu->addAction(item->caption_.toQString());
    action->setEnabled(item->enabled_);
    QObject::connect(action, &QAction::triggered, menu,
                     [item] { TApplication::RunGuarded(item, [item] { item->Click(); }); });
  }
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner), root_(nullptr) {}

TPopupMenu::~TPopupMenu() { delete menu_.data(); }

QMenu* TPopupMenu::Menu() {
  TApplication::EnsureQt();
  if (!menu_) menu_ = new QMenu;
  root_.rebuild(menu_);
  return menu_;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) {
    TNotifyEvent handler = OnPopup;
    handler(this);
  }
  Menu()->popup(QPoint(x, y));
}
