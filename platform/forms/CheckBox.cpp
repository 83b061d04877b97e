#include "forms/CheckBox.h"

#include <QCheckBox>
#include <QSignalBlocker>

#include "forms/NewWidget.h"

TCheckBox::TCheckBox(TComponent* owner) : TControl(owner, NewWidget<QCheckBox>()) {
  auto* box = widgetAs<QCheckBox>();
  // clicked comes only from the user; the program's changes fire OnClick in SetChecked.
  QObject::connect(box, &QCheckBox::clicked, box, [this] {
    if (!OnClick) return;
    TNotifyEvent handler = OnClick;
    TApplication::RunGuarded(this, [&] { handler(this); });
  });
}

AnsiString TCheckBox::Caption() const {
  auto* box = widgetAs<QCheckBox>();
  return box ? AnsiString::fromQString(box->text()) : AnsiString();
}

void TCheckBox::SetCaption(const AnsiString& caption) {
  if (auto* box = widgetAs<QCheckBox>()) box->setText(caption.toQString());
}

bool TCheckBox::Checked() const {
  auto* box = widgetAs<QCheckBox>();
  return box && box->isChecked();
}

void TCheckBox::SetChecked(bool checked) {
  auto* box = widgetAs<QCheckBox>();
  if (!box || box->isChecked() == checked) return;
  {
    const QSignalBlocker quiet(box);
    box->setChecked(checked);
  }
  if (!OnClick) return;
  TNotifyEvent handler = OnClick;
  handler(this);
}
