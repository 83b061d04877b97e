#include "forms/PageControl.h"

#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "forms/FormsErrors.h"
#include "forms/NewWidget.h"

namespace {
const char* const kFlatButtonsStyle =
    "QTabBar::tab { border: 1px solid transparent; padding: 3px 8px; margin: 1px; }"
    "QTabBar::tab:selected { border: 1px solid palette(mid); background: palette(button); }";
}

TTabSheet::TTabSheet(TComponent* owner) : TControl(owner, NewWidget<QWidget>()) {}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* pageControl) {
  if (pageControl == pageControl_) return;
  if (pageControl_) pageControl_->removePage(this);
  pageControl_ = pageControl;
  if (pageControl_) pageControl_->addPage(this);
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  const auto& pages = pageControl_->pages_;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  if (!pageControl_) return;
  if (auto* tabs = pageControl_->widgetAs<QTabWidget>())
    tabs->setTabText(PageIndex(), caption.toQString());
}

TPageControl::TPageControl(TComponent* owner) : TControl(owner, NewWidget<QTabWidget>()) {
  auto* tabs = widgetAs<QTabWidget>();
  // currentChanged here comes from the user's tab clicks: the program's changes are made
  // with the signal blocked and report themselves.
  QObject::connect(tabs, &QTabWidget::currentChanged, tabs, [this](int index) {
    TApplication::RunGuarded(this, [&] { tabChangedByUser(index); });
  });
}

TPageControl::~TPageControl() {
  for (TTabSheet* page : pages_) page->pageControl_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount())
    throw EListError("List index out of bounds (" + AnsiString(index) + ")");
  return pages_[static_cast<std::size_t>(index)];
}

void TPageControl::addPage(TTabSheet* page) {
  pages_.push_back(page);
  auto* tabs = widgetAs<QTabWidget>();
  if (!tabs || !page->Widget()) return;
  const QSignalBlocker quiet(tabs);
  tabs->addTab(page->Widget(), page->Caption().toQString());
  // The first page becomes the active one, as when the control is built.
  if (!active_) active_ = page;
  tabs->setCurrentWidget(active_->Widget());
}

void TPageControl::removePage(TTabSheet* page) {
  pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
  auto* tabs = widgetAs<QTabWidget>();
  if (tabs && page->Widget()) {
    const QSignalBlocker quiet(tabs);
    tabs->removeTab(tabs->indexOf(page->Widget()));
    page->Widget()->setParent(nullptr);
  }
  if (active_ == page) {
    active_ = pages_.empty() ? nullptr : pages_.front();
    if (tabs && active_ && active_->Widget()) {
      const QSignalBlocker quiet(tabs);
      tabs->setCurrentWidget(active_->Widget());
    }
  }
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == active_) return;
  if (auto* tabs = widgetAs<QTabWidget>(); tabs && page && page->Widget()) {
    const QSignalBlocker quiet(tabs);
    tabs->setCurrentWidget(page->Widget());
  }
  activate(page);
}

int TPageControl::ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[static_cast<std::size_t>(index)]
                                                  : nullptr);
}

void TPageControl::tabChangedByUser(int index) {
  auto* tabs = widgetAs<QTabWidget>();
  if (!tabs) return;
  TTabSheet* page = static_cast<TTabSheet*>(TControl::FromWidget(tabs->widget(index)));
  if (page == active_) return;
  activate(page);
  if (OnChange) {
    TNotifyEvent handler = OnChange;
    handler(this);
  }
}

namespace {

// The page controls that sit on the page itself, not on one of their own pages.
std::vector<TPageControl*> pageControlsOn(TTabSheet* page) {
  std::vector<TPageControl*> found;
  if (!page->Widget()) return found;
  for (QWidget* widget : page->Widget()->findChildren<QWidget*>()) {
    auto* control = dynamic_cast<TPageControl*>(TControl::FromWidget(widget));
    if (!control || control->Widget() != widget) continue;
    TControl* holder = control->Parent();
    while (holder && !dynamic_cast<TTabSheet*>(holder)) holder = holder->Parent();
    if (holder == page) found.push_back(control);
  }
  return found;
}

// A page comes into view or leaves it, and with it the active page of each page control on it.
void showingChanged(TTabSheet* page, bool shown) {
  if (!page) return;
  if (TNotifyEvent handler = shown ? page->OnShow : page->OnHide) handler(page);
  for (TPageControl* inner : pageControlsOn(page)) showingChanged(inner->ActivePage(), shown);
}

}  // namespace

// The page left hides, then the page reached shows.
void TPageControl::activate(TTabSheet* page) {
  TTabSheet* left = active_;
  active_ = page;
  showingChanged(left, false);
  showingChanged(page, true);
}

void TPageControl::SetTabPosition(TTabPosition position) {
  tabPosition_ = position;
  auto* tabs = widgetAs<QTabWidget>();
  if (!tabs) return;
  static const QTabWidget::TabPosition positions[] = {QTabWidget::North, QTabWidget::South,
                                                      QTabWidget::West, QTabWidget::East};
  tabs->setTabPosition(positions[position]);
}

void TPageControl::SetStyle(TTabStyle style) {
  style_ = style;
  auto* tabs = widgetAs<QTabWidget>();
  if (!tabs) return;
  tabs->setDocumentMode(style != tsTabs);
  tabs->tabBar()->setStyleSheet(style == tsFlatButtons ? kFlatButtonsStyle : "");
}

void TPageControl::SetMultiLine(bool multiLine) {
  multiLine_ = multiLine;
  auto* tabs = widgetAs<QTabWidget>();
  if (!tabs) return;
  tabs->setUsesScrollButtons(!multiLine);
  tabs->tabBar()->setExpanding(multiLine);
}
