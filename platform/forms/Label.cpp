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
  auto* label = widgetAs<QLabel>();
  if (!label) return;
  label->setText(caption.toQString());
  fitCaption();
}

bool TLabel::WordWrap() const {
  auto* label = widgetAs<QLabel>();
  return label && label->wordWrap();
}

void TLabel::SetWordWrap(bool wrap) {
  if (auto* label = widgetAs<QLabel>()) label->setWordWrap(wrap);
}

void TLabel::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  fitCaption();
}

void TLabel::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  auto* label = widgetAs<QLabel>();
  if (!label) return;
  const Qt::Alignment horizontal = alignment == taRightJustify ? Qt::AlignRight
                                   : alignment == taCenter     ? Qt::AlignHCenter
                                                               : Qt::AlignLeft;
  label->setAlignment(horizontal | Qt::AlignTop);
}

// A word-wrapped label keeps its width and grows downwards; any other takes its caption's
// width, from its left edge.
void TLabel::fitCaption() {
  auto* label = widgetAs<QLabel>();
  if (!label || !autoSize_) return;
  if (label->wordWrap()) {
    label->resize(label->width(), label->heightForWidth(label->width()));
  } else {
    label->adjustSize();
  }
}
