#include "forms/Panel.h"

#include <QLabel>

#include "forms/NewWidget.h"

TPanel::TPanel(TComponent* owner) : TControl(owner, NewWidget<QLabel>()) {
  auto* panel = widgetAs<QLabel>();
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setAlignment(Qt::AlignCenter);
  // A panel paints its face: what lies beneath it is covered, not seen through.
  SetOpaque(true);
}

AnsiString TPanel::Caption() const {
  auto* panel = widgetAs<QLabel>();
  return panel ? AnsiString::fromQString(panel->text()) : AnsiString();
}

void TPanel::SetCaption(const AnsiString& caption) {
  if (auto* panel = widgetAs<QLabel>()) panel->setText(caption.toQString());
}
