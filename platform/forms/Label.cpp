#include "forms/Label.h"

#include <QLabel>

#include "forms/NewWidget.h"

TLabel::TLabel(TComponent* owner) : TControl(owner, NewWidget<QLabel>()) {
  widgetAs<QLabel>()->setTextFormat(Qt::PlainText);
}

AnsiString TLabel::Caption() const {
  auto* label = widgetAs<QLabel>();
  return label ? AnsiString::fromQString(label->text()) : AnsiString();
}

void TLabel::SetCaption(const AnsiString& caption) {
  if (auto* label = widgetAs<QLabel>()) label->setText(caption.toQString());
}

bool TLabel::WordWrap() const {
  auto* label = widgetAs<QLabel>();
  return label && label->wordWrap();
}

void TLabel::SetWordWrap(bool wrap) {
  if (auto* label = widgetAs<QLabel>()) label->setWordWrap(wrap);
}
