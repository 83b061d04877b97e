#include "forms/Edit.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "forms/NewWidget.h"

namespace {

// An edit holds one line: a line break pasted or set in it becomes a blank, so its text can
// go into one line of a file.
QString withoutLineBreaks(QString text) {
  return text.replace(QLatin1Char('\r'), QLatin1Char(' '))
      .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

void keepOneLine(QLineEdit* edit) {
  const QString text = edit->text();
  if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'))) return;
  const int at = edit->cursorPosition();
  const QSignalBlocker quiet(edit);
  edit->setText(withoutLineBreaks(text));
  edit->setCursorPosition(at);
}

}  // namespace

TEdit::TEdit(TComponent* owner) : TControl(owner, NewWidget<QLineEdit>()) {
  auto* edit = widgetAs<QLineEdit>();
  // textEdited comes only from typing; the program's changes fire OnChange in SetText.
  QObject::connect(edit, &QLineEdit::textEdited, edit, [this, edit] {
    keepOneLine(edit);
    TApplication::RunGuarded(this, [this] { fireChange(); });
  });
}

AnsiString TEdit::Text() const {
  auto* edit = widgetAs<QLineEdit>();
  return edit ? AnsiString::fromQString(edit->text()) : AnsiString();
}

void TEdit::SetText(const AnsiString& text) {
  auto* edit = widgetAs<QLineEdit>();
  if (!edit) return;
  const QString shown = withoutLineBreaks(text.toQString());
  if (edit->text() == shown) return;
  {
    const QSignalBlocker quiet(edit);
    edit->setText(shown);
  }
  fireChange();
}

void TEdit::fireChange() {
  if (!OnChange) return;
  TNotifyEvent handler = OnChange;
  handler(this);
}

bool TEdit::ReadOnly() const {
  auto* edit = widgetAs<QLineEdit>();
  return edit && edit->isReadOnly();
}

void TEdit::SetReadOnly(bool readOnly) {
  if (auto* edit = widgetAs<QLineEdit>()) edit->setReadOnly(readOnly);
}

void TEdit::SetPasswordChar(char c) {
  passwordChar_ = c;
  if (auto* edit = widgetAs<QLineEdit>())
    edit->setEchoMode(c == '\0' ? QLineEdit::Normal : QLineEdit::Password);
}

int TEdit::MaxLength() const {
  auto* edit = widgetAs<QLineEdit>();
  return edit ? edit->maxLength() : 0;
}

void TEdit::SetMaxLength(int length) {
  if (auto* edit = widgetAs<QLineEdit>()) edit->setMaxLength(length > 0 ? length : 32767);
}

AnsiString TBoundLabel::Caption() const {
  return label_ ? AnsiString::fromQString(label_->text()) : AnsiString();
}

void TBoundLabel::SetCaption(const AnsiString& caption) {
  if (!label_) return;
  label_->setText(caption.toQString());
  label_->adjustSize();
}

TLabeledEdit::TLabeledEdit(TComponent* owner) : TEdit(owner) {
  editLabel_.label_ = NewWidget<QLabel>();
  editLabel_.label_->setTextFormat(Qt::PlainText);
  editLabel_.label_->hide();
}

TLabeledEdit::~TLabeledEdit() { delete editLabel_.label_.data(); }

void TLabeledEdit::SetVisible(bool visible) {
  TEdit::SetVisible(visible);
  if (editLabel_.label_ && editLabel_.label_->parentWidget())
    editLabel_.label_->setVisible(visible);
}

void TLabeledEdit::boundsChanged() {
  QLabel* label = editLabel_.label_;
  if (!label) return;
  label->adjustSize();
  label->move(Left(), Top() - label->height() - 3);
}

void TLabeledEdit::parentChanged() {
  QLabel* label = editLabel_.label_;
  if (!label || !Widget()) return;
  label->setParent(Widget()->parentWidget());
  label->setVisible(Visible() && Widget()->parentWidget());
  boundsChanged();
}
