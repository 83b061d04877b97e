#pragma once
// The row (or rows) of tabs of a page control, drawn as tabs, as buttons or as flat buttons.
//
// Multi-line: the tabs wrap into as many rows as the width needs, every tab shown whole.
// Single-line: one row from the first visible tab on; a tab that does not fit whole is not
// drawn, and two arrow buttons at the row's end scroll the row. Either way no caption is cut:
// each shown tab is as wide as its caption plus the margins.
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QToolButton;

class TabStrip : public QWidget {
 public:
  enum class Look { Tabs, Buttons, FlatButtons };

  explicit TabStrip(QWidget* parent);

  int count() const { return static_cast<int>(captions_.size()); }
  void insertTab(int index, const QString& caption);
  void removeTab(int index);
  void setTabText(int index, const QString& caption);
  QString tabText(int index) const { return captions_.at(static_cast<std::size_t>(index)); }

  int currentIndex() const { return current_; }
  // Makes the tab current (scrolling it into view); reports nothing.
  void setCurrentIndex(int index);

  void setLook(Look look);
  // Tabs below the pages: the strip draws them opening upwards.
  void setBelow(bool below);
  void setMultiLine(bool multiLine);
  bool multiLine() const { return multiLine_; }

  // Where the tab lies in the strip; empty while it is scrolled out of view.
  QRect tabRect(int index) const;
  // The room between a tab's caption and each of its side edges.
  static constexpr int captionMargin = 6;

  // The height the tabs need at the width (all rows).
  int heightForWidth(int width) const override;
  bool hasHeightForWidth() const override { return true; }
  QSize sizeHint() const override;

  // A tab chosen with the mouse.
  std::function<void(int index)> tabClicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int tabWidth(int index) const;
  int rowHeight() const;
  // The tabs' places at the width; single-line also tells whether the row overflows.
  std::vector<QRect> layoutAt(int width, bool* overflows) const;
  // The tabs' places in the strip at its width.
  std::vector<QRect> placedRects(bool* overflows) const;
  void relayout();
  // Scrolls a single row until the current tab is shown whole.
  void showCurrent();
  void scrollBy(int tabs);

  std::vector<QString> captions_;
  int current_ = -1;
  int firstVisible_ = 0;
  Look look_ = Look::Tabs;
  bool below_ = false;
  bool multiLine_ = false;
  QToolButton* scrollLeft_;
  QToolButton* scrollRight_;
};
