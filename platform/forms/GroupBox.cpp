#include "forms/GroupBox.h"

#include <QGroupBox>

#include "forms/NewWidget.h"

TGroupBox::TGroupBox(TComponent* owner) : TControl(owner, NewWidget<QGroupBox>()) {}

AnsiString TGroupBox::Caption() const {
  auto* box = widgetAs<QGroupBox>();
  return box ? AnsiString::fromQString(box->title()) : AnsiString();
}

void TGroupBox::SetCaption(const AnsiString& caption) {
  if (auto* box = widgetAs<QGroupBox>()) box->setTitle(caption.toQString());
}
