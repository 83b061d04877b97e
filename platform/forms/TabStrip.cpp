#include "forms/TabStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTab>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {
constexpr int arrowWidth = 16;
}  // namespace

TabStrip::TabStrip(QWidget* parent)
    : QWidget(parent), scrollLeft_(new QToolButton(this)), scrollRight_(new QToolButton(this)) {
  setObjectName("tabs");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  for (QToolButton* arrow : {scrollLeft_, scrollRight_}) {
    arrow->setAutoRepeat(true);
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->hide();
  }
  scrollLeft_->setArrowType(Qt::LeftArrow);
  scrollRight_->setArrowType(Qt::RightArrow);
  QObject::connect(scrollLeft_, &QToolButton::clicked, this, [this] { scrollBy(-1); });
  QObject::connect(scrollRight_, &QToolButton::clicked, this, [this] { scrollBy(1); });
}

void TabStrip::insertTab(int index, const QString& caption) {
  captions_.insert(captions_.begin() + index, caption);
  if (current_ >= index) ++current_;
  relayout();
}

void TabStrip::removeTab(int index) {
  if (index < 0 || index >= count()) return;
  captions_.erase(captions_.begin() + index);
  if (current_ > index || current_ >= count()) --current_;
  firstVisible_ = std::clamp(firstVisible_, 0, std::max(count() - 1, 0));
  relayout();
}

void TabStrip::setTabText(int index, const QString& caption) {
  if (index < 0 || index >= count()) return;
  captions_[static_cast<std::size_t>(index)] = caption;
  relayout();
}

void TabStrip::setCurrentIndex(int index) {
  current_ = index;
  relayout();
  showCurrent();
}

void TabStrip::showCurrent() {
  if (multiLine_ || current_ < 0 || width() <= 0) return;
  if (current_ < firstVisible_) {
    firstVisible_ = current_;
    relayout();
  }
  // Move the row on until the current tab is shown whole.
  while (firstVisible_ < current_ && tabRect(current_).isEmpty()) {
    ++firstVisible_;
    relayout();
  }
}

void TabStrip::setLook(Look look) {
  look_ = look;
  relayout();
}

void TabStrip::setBelow(bool below) {
  below_ = below;
  relayout();
}

void TabStrip::setMultiLine(bool multiLine) {
  multiLine_ = multiLine;
  if (multiLine_) firstVisible_ = 0;
  relayout();
  showCurrent();
  updateGeometry();
}

QRect TabStrip::tabRect(int index) const {
  if (index < 0 || index >= count()) return {};
  return placedRects(nullptr)[static_cast<std::size_t>(index)];
}

std::vector<QRect> TabStrip::placedRects(bool* overflows) const {
  std::vector<QRect> rects = layoutAt(width(), overflows);
  // Tabs below the pages keep a line of room above them.
  if (below_)
    for (QRect& rect : rects)
      if (!rect.isEmpty()) rect.translate(0, 2);
  return rects;
}

int TabStrip::tabWidth(int index) const {
  const qreal caption = QFontMetricsF(font()).horizontalAdvance(tabText(index));
  return static_cast<int>(std::ceil(caption)) + 2 * captionMargin;
}

int TabStrip::rowHeight() const { return fontMetrics().height() + 8; }

std::vector<QRect> TabStrip::layoutAt(int width, bool* overflows) const {
  std::vector<QRect> rects(captions_.size());
  const int height = rowHeight();
  if (multiLine_) {
    int x = 0, y = 0;
    for (int i = 0; i < count(); ++i) {
      const int w = tabWidth(i);
      if (x > 0 && x + w > width) {
        x = 0;
        y += height;
      }
      rects[static_cast<std::size_t>(i)] = QRect(x, y, w, height);
      x += w;
    }
    if (overflows) *overflows = false;
    return rects;
  }
  int total = 0;
  for (int i = 0; i < count(); ++i) total += tabWidth(i);
  const bool overflow = total > width || firstVisible_ > 0;
  const int room = overflow ? width - 2 * arrowWidth : width;
  int x = 0;
  for (int i = firstVisible_; i < count(); ++i) {
    const int w = tabWidth(i);
    if (x + w > room) break;
    rects[static_cast<std::size_t>(i)] = QRect(x, 0, w, height);
    x += w;
  }
  if (overflows) *overflows = overflow;
  return rects;
}

int TabStrip::heightForWidth(int width) const {
  if (captions_.empty()) return 0;
  int bottom = 0;
  for (const QRect& rect : layoutAt(width, nullptr)) bottom = std::max(bottom, rect.bottom() + 1);
  return std::max(bottom, rowHeight()) + 2;
}

QSize TabStrip::sizeHint() const {
  int total = 0;
  for (int i = 0; i < count(); ++i) total += tabWidth(i);
  return {total, rowHeight() + 2};
}

void TabStrip::relayout() {
  bool overflows = false;
  placedRects(&overflows);
  const int shift = below_ ? 2 : 0;
  const bool arrows = overflows && !multiLine_;
  scrollLeft_->setVisible(arrows);
  scrollRight_->setVisible(arrows);
  if (arrows) {
    const int h = rowHeight() - 2;
    scrollLeft_->setGeometry(width() - 2 * arrowWidth, shift + 1, arrowWidth, h);
    scrollRight_->setGeometry(width() - arrowWidth, shift + 1, arrowWidth, h);
    scrollLeft_->setEnabled(firstVisible_ > 0);
    scrollRight_->setEnabled(!captions_.empty() && tabRect(count() - 1).isEmpty());
  }
  update();
}

void TabStrip::scrollBy(int tabs) {
  const int first = std::clamp(firstVisible_ + tabs, 0, std::max(count() - 1, 0));
  if (tabs > 0 && !captions_.empty() && !tabRect(count() - 1).isEmpty()) return;
  firstVisible_ = first;
  relayout();
}

void TabStrip::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  relayout();
  showCurrent();
}

void TabStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  for (int i = 0; i < count(); ++i) {
    if (!tabRect(i).contains(event->position().toPoint())) continue;
    if (i != current_ && tabClicked) tabClicked(i);
    return;
  }
}

void TabStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const std::vector<QRect> rects = placedRects(nullptr);
  for (int i = 0; i < count(); ++i) {
    const QRect& rect = rects[static_cast<std::size_t>(i)];
    if (rect.isEmpty()) continue;
    const bool selected = i == current_;
    if (look_ == Look::Tabs) {
      // The style draws the tab's shape; the caption is centred in the tab as measured.
      QStyleOptionTab option;
      option.initFrom(this);
      option.rect = rect;
      option.shape = below_ ? QTabBar::RoundedSouth : QTabBar::RoundedNorth;
      option.position = QStyleOptionTab::Middle;
      if (selected) option.state |= QStyle::State_Selected;
      style()->drawControl(QStyle::CE_TabBarTabShape, &option, &painter, this);
    } else {
      QStyleOption panel;
      panel.initFrom(this);
      panel.rect = rect.adjusted(1, 1, -1, -1);
      if (selected) {
        panel.state |= QStyle::State_Sunken | QStyle::State_On;
        style()->drawPrimitive(QStyle::PE_PanelButtonTool, &panel, &painter, this);
      } else if (look_ == Look::Buttons) {
        panel.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &panel, &painter, this);
      }
    }
    style()->drawItemText(&painter, rect, Qt::AlignCenter, palette(), isEnabled(), tabText(i),
                          QPalette::ButtonText);
  }
}
