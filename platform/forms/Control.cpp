#include "forms/Control.h"

#include <QEvent>
#include <QFont>
#include <QMenu>
#include <QWidget>

#include "forms/Application.h"
#include "forms/Menus.h"

namespace {

const char* const kControlProperty = "tarnwickControl";

// Keeps an aligned widget at its place in the parent's client area as that area resizes.
class AlignKeeper : public QObject {
 public:
  AlignKeeper(QWidget* child, TAlign align) : QObject(child), child_(child), align_(align) {
    if (child->parentWidget()) child->parentWidget()->installEventFilter(this);
    place();
  }
  void place() {
    QWidget* parent = child_ ? child_->parentWidget() : nullptr;
    if (!parent) return;
    const QRect area = parent->contentsRect();
    switch (align_) {
      case alClient:
        child_->setGeometry(area);
        break;
      case alTop:
        child_->setGeometry(area.left(), area.top(), area.width(), child_->height());
        break;
      case alBottom:
        child_->setGeometry(area.left(), area.bottom() + 1 - child_->height(), area.width(),
                            child_->height());
        break;
      case alLeft:
        child_->setGeometry(area.left(), area.top(), child_->width(), area.height());
        break;
      case alRight:
        child_->setGeometry(area.right() + 1 - child_->width(), area.top(), child_->width(),
                            area.height());
        break;
      case alNone:
        break;
    }
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize && child_ && watched == child_->parentWidget()) place();
    return false;
  }

 private:
  QPointer<QWidget> child_;
  TAlign align_;
};

}  // namespace

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), widget_(widget) {
  widget->setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(this)));
}

TControl::~TControl() {
  if (!widget_) return;
  // Nothing of this control may report to handlers while it goes away.
  widget_->blockSignals(true);
  for (QObject* child : widget_->findChildren<QObject*>()) child->blockSignals(true);
  widget_->setProperty(kControlProperty, QVariant());
  delete widget_.data();
}

QWidget* TControl::Widget() const { return widget_.data(); }

QWidget* TControl::ClientWidget() const { return widget_.data(); }

TControl* TControl::FromWidget(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    const QVariant value = w->property(kControlProperty);
    if (value.isValid()) return static_cast<TControl*>(value.value<void*>());
  }
  return nullptr;
}

TControl* TControl::Parent() const {
  if (!widget_ || widget_->isWindow()) return nullptr;
  return FromWidget(widget_->parentWidget());
}

void TControl::SetParent(TControl* parent) {
  if (!widget_) return;
  QWidget* container = parent ? parent->ClientWidget() : nullptr;
  if (widget_->parentWidget() == container) return;
  const QRect bounds = widget_->geometry();
  widget_->setParent(container);
  widget_->setGeometry(bounds);
  applyAlign();
  applyVisibility();
  parentChanged();
}

int TControl::Left() const {
  if (!widget_) return 0;
  return widget_->isWindow() ? widget_->frameGeometry().x() : widget_->x();
}
int TControl::Top() const {
  if (!widget_) return 0;
  return widget_->isWindow() ? widget_->frameGeometry().y() : widget_->y();
}
int TControl::Width() const {
  if (!widget_) return 0;
  return widget_->isWindow() ? widget_->frameGeometry().width() : widget_->width();
}
int TControl::Height() const {
  if (!widget_) return 0;
  return widget_->isWindow() ? widget_->frameGeometry().height() : widget_->height();
}

void TControl::SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
void TControl::SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
void TControl::SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
void TControl::SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!widget_) return;
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (widget_->isWindow()) {
    // The outer frame is given; Qt places the frame and sizes the client area.
    const QRect frame = widget_->frameGeometry();
    const QRect client = widget_->geometry();
    const int extraWidth = frame.width() - client.width();
    const int extraHeight = frame.height() - client.height();
    widget_->move(left, top);
    widget_->resize(std::max(width - extraWidth, 0), std::max(height - extraHeight, 0));
  } else {
    widget_->setGeometry(left, top, width, height);
  }
  applyAlign();
  boundsChanged();
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  applyVisibility();
}

void TControl::applyVisibility() {
  if (!widget_) return;
  if (widget_->isWindow()) return;  // forms show and hide themselves
  widget_->setVisible(visible_);
}

bool TControl::Enabled() const { return widget_ ? widget_->isEnabled() : false; }
void TControl::SetEnabled(bool enabled) {
  if (widget_) widget_->setEnabled(enabled);
}

void TControl::SetHint(const AnsiString& hint) {
  hint_ = hint;
  applyHint();
}

void TControl::SetShowHint(bool show) {
  showHint_ = show;
  applyHint();
}

void TControl::applyHint() {
  if (widget_) widget_->setToolTip(showHint_ ? hint_.toQString() : QString());
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  applyAlign();
}

void TControl::applyAlign() {
  if (!widget_) return;
  delete alignKeeper_.data();
  if (align_ != alNone && !widget_->isWindow()) alignKeeper_ = new AlignKeeper(widget_, align_);
}

void TControl::BringToFront() {
  if (!widget_) return;
  widget_->raise();
  if (widget_->isWindow() && widget_->isVisible()) widget_->activateWindow();
}

void TControl::SendToBack() {
  if (widget_) widget_->lower();
}

TPopupMenu* TControl::PopupMenu() const { return popupMenu_ ? popupMenuControl_ : nullptr; }

void TControl::SetPopupMenu(TPopupMenu* menu) {
  popupMenuControl_ = menu;
  popupMenu_ = menu ? static_cast<QObject*>(menu->Menu()) : nullptr;
  if (!widget_) return;
  QObject::disconnect(widget_, &QWidget::customContextMenuRequested, nullptr, nullptr);
  if (!menu) {
    widget_->setContextMenuPolicy(Qt::DefaultContextMenu);
    return;
  }
  widget_->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(widget_, &QWidget::customContextMenuRequested, widget_,
                   [this](const QPoint& position) {
                     TPopupMenu* popup = PopupMenu();
                     if (!popup || !widget_) return;
                     const QPoint global = widget_->mapToGlobal(position);
                     TApplication::RunGuarded(this, [&] { popup->Popup(global.x(), global.y()); });
                   });
}

void TControl::SetOpaque(bool opaque) {
  opaque_ = opaque;
  if (widget_) widget_->setAutoFillBackground(opaque || color_ != clBtnFace);
}

void TControl::SetColor(TColor color) {
  color_ = color;
  if (!widget_) return;
  QPalette palette = widget_->palette();
  if (color == clBtnFace) {
    widget_->setAutoFillBackground(opaque_);
    widget_->setPalette(QPalette());
    return;
  }
  palette.setColor(QPalette::Window,
                   QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
}

void TFont::SetStyle(TFontStyles style) {
  style_ = style;
  QWidget* widget = owner_->Widget();
  if (!widget) return;
  QFont font = widget->font();
  font.setBold((style & fsBold) != 0);
  font.setItalic((style & fsItalic) != 0);
  font.setUnderline((style & fsUnderline) != 0);
  font.setStrikeOut((style & fsStrikeOut) != 0);
  widget->setFont(font);
}
