#include "forms/ComboBox.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "forms/NewWidget.h"

namespace {
// Runs a change of the box that the program makes: no signal, and no choice appears by itself.
template <class Change>
void quietly(QComboBox* box, Change change) {
  if (!box) return;
  const QSignalBlocker quiet(box);
  const int chosen = box->currentIndex();
  change(box);
  if (chosen < 0 || chosen >= box->count()) box->setCurrentIndex(-1);
}
}  // namespace

int TComboItems::Add(const AnsiString& item) {
  const int index = lines_.Add(item);
  quietly(owner_->widgetAs<QComboBox>(), [&](QComboBox* box) { box->addItem(item.toQString()); });
  return index;
}

void TComboItems::Clear() {
  lines_.Clear();
  quietly(owner_->widgetAs<QComboBox>(), [](QComboBox* box) { box->clear(); });
}

void TComboItems::Delete(int index) {
  lines_.Delete(index);
  quietly(owner_->widgetAs<QComboBox>(), [&](QComboBox* box) { box->removeItem(index); });
}

TComboBox::TComboBox(TComponent* owner) : TControl(owner, NewWidget<QComboBox>()), items_(this) {
  auto* box = widgetAs<QComboBox>();
  box->setEditable(false);
  // activated comes only from the user's choice.
  QObject::connect(box, &QComboBox::activated, box, [this] {
    if (!OnChange) return;
    TNotifyEvent handler = OnChange;
    TApplication::RunGuarded(this, [&] { handler(this); });
  });
}

AnsiString TComboBox::Text() const {
  const int index = ItemIndex();
  return index >= 0 && index < items_.Count() ? items_.Strings(index) : AnsiString();
}

void TComboBox::SetText(const AnsiString& text) { SetItemIndex(items_.IndexOf(text)); }

int TComboBox::ItemIndex() const {
  auto* box = widgetAs<QComboBox>();
  return box ? box->currentIndex() : -1;
}

void TComboBox::SetItemIndex(int index) {
  auto* box = widgetAs<QComboBox>();
  if (!box) return;
  const QSignalBlocker quiet(box);
  box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}
