#include "forms/Buttons.h"

#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include "forms/NewWidget.h"

TButton::TButton(TComponent* owner) : TButton(owner, NewWidget<QPushButton>()) {}

TButton::TButton(TComponent* owner, QWidget* widget) : TControl(owner, widget) {
  auto* button = static_cast<QAbstractButton*>(widget);
  QObject::connect(button, &QAbstractButton::clicked, button,
                   [this] { TApplication::RunGuarded(this, [this] { Click(); }); });
}

AnsiString TButton::Caption() const {
  auto* button = widgetAs<QAbstractButton>();
  return button ? AnsiString::fromQString(button->text()) : AnsiString();
}

void TButton::SetCaption(const AnsiString& caption) {
  if (auto* button = widgetAs<QAbstractButton>()) button->setText(caption.toQString());
}

void TButton::Click() {
  if (!OnClick) return;
  TNotifyEvent handler = OnClick;
  handler(this);
}

TBitBtn::TBitBtn(TComponent* owner)
    : TButton(owner, NewWidget<QPushButton>()), glyph_([this] {
        auto* button = widgetAs<QPushButton>();
        if (!button) return;
        button->setIcon(QPixmap::fromImage(glyph_.Image()));
        button->setIconSize(glyph_.Image().size());
      }) {}

TSpeedButton::TSpeedButton(TComponent* owner) : TButton(owner, NewWidget<QToolButton>()) {
  widgetAs<QToolButton>()->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // A speed button is pressed with the mouse and never takes the keyboard focus.
  widgetAs<QToolButton>()->setFocusPolicy(Qt::NoFocus);
}

void TSpeedButton::SetFlat(bool flat) {
  flat_ = flat;
  if (auto* button = widgetAs<QToolButton>()) button->setAutoRaise(flat);
}
