#include "forms/Memo.h"

#include <QPlainTextEdit>
#include <QSignalBlocker>

#include "forms/NewWidget.h"

const TStringList& TMemoLines::lines() const {
  owner_->readBackTyping();
  return owner_->data_;
}

int TMemoLines::Count() const { return lines().Count(); }
const AnsiString& TMemoLines::Strings(int index) const { return lines().Strings(index); }
AnsiString TMemoLines::Text() const { return lines().Text(); }
void TMemoLines::SaveToFile(const AnsiString& fileName) const { lines().SaveToFile(fileName); }

void TMemoLines::SetStrings(int index, const AnsiString& line) {
  owner_->readBackTyping();
  owner_->data_.SetStrings(index, line);
  owner_->showLines();
}

int TMemoLines::Add(const AnsiString& line) {
  owner_->readBackTyping();
  const int index = owner_->data_.Add(line);
  owner_->lineAdded(line);
  return index;
}

void TMemoLines::Delete(int index) {
  owner_->readBackTyping();
  owner_->data_.Delete(index);
  owner_->showLines();
}

void TMemoLines::Clear() {
  owner_->typed_ = false;
  owner_->data_.Clear();
  owner_->showLines();
}

void TMemoLines::SetText(const AnsiString& text) {
  owner_->typed_ = false;
  owner_->data_.SetText(text);
  owner_->showLines();
}

void TMemoLines::LoadFromFile(const AnsiString& fileName) {
  TStringList loaded;
  loaded.LoadFromFile(fileName);
  Assign(loaded);
}

void TMemoLines::Assign(const TStringList& other) {
  owner_->typed_ = false;
  owner_->data_ = other;
  owner_->showLines();
}

TMemo::TMemo(TComponent* owner) : TControl(owner, NewWidget<QPlainTextEdit>()), lines_(this) {
  auto* edit = widgetAs<QPlainTextEdit>();
  SetWordWrap(true);
  SetScrollBars(ssNone);
  // The program's changes are made with the signal blocked: this is the user typing.
  QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [this] {
    typed_ = true;
    if (!OnChange) return;
    TNotifyEvent handler = OnChange;
    TApplication::RunGuarded(this, [&] { handler(this); });
  });
}

bool TMemo::ReadOnly() const {
  auto* edit = widgetAs<QPlainTextEdit>();
  return edit && edit->isReadOnly();
}

void TMemo::SetReadOnly(bool readOnly) {
  if (auto* edit = widgetAs<QPlainTextEdit>()) edit->setReadOnly(readOnly);
}

void TMemo::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  auto* edit = widgetAs<QPlainTextEdit>();
  if (!edit) return;
  edit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TMemo::SetScrollBars(TScrollStyle scrollBars) {
  scrollBars_ = scrollBars;
  auto* edit = widgetAs<QPlainTextEdit>();
  if (!edit) return;
  const auto policy = [](bool shown) {
    return shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  };
  edit->setHorizontalScrollBarPolicy(policy(scrollBars == ssHorizontal || scrollBars == ssBoth));
  edit->setVerticalScrollBarPolicy(policy(scrollBars == ssVertical || scrollBars == ssBoth));
}

void TMemo::showLines() {
  auto* edit = widgetAs<QPlainTextEdit>();
  if (!edit) return;
  QString shown;
  for (int i = 0; i < data_.Count(); ++i) {
    if (i > 0) shown += QLatin1Char('\n');
    shown += data_.Strings(i).toQString();
  }
  const QSignalBlocker quiet(edit);
  edit->setPlainText(shown);
}

void TMemo::lineAdded(const AnsiString& line) {
  auto* edit = widgetAs<QPlainTextEdit>();
  if (!edit) return;
  const QSignalBlocker quiet(edit);
  edit->appendPlainText(line.toQString());
}

void TMemo::readBackTyping() {
  if (!typed_) return;
  typed_ = false;
  auto* edit = widgetAs<QPlainTextEdit>();
  if (!edit) return;
  data_.SetText(AnsiString::fromQString(edit->toPlainText()));
}
