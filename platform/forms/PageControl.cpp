#include "forms/PageControl.h"

#include <QFrame>
#include <QResizeEvent>
#include <QStackedWidget>
#include <algorithm>

#include "forms/FormsErrors.h"
#include "forms/NewWidget.h"
#include "forms/TabStrip.h"

// A page control's widget: the tab strip above or below the stack of pages, which has a
// frame around it when the tabs are drawn as tabs.
class PageControlWidget : public QWidget {
 public:
  PageControlWidget() : tabs(new TabStrip(this)), pages(new QStackedWidget(this)) {
    pages->setFrameShape(QFrame::StyledPanel);
  }
  void place() {
    const int stripHeight = tabs->heightForWidth(width());
    if (below) {
      pages->setGeometry(0, 0, width(), std::max(height() - stripHeight, 0));
      tabs->setGeometry(0, height() - stripHeight, width(), stripHeight);
    } else {
      tabs->setGeometry(0, 0, width(), stripHeight);
      pages->setGeometry(0, stripHeight, width(), std::max(height() - stripHeight, 0));
    }
  }

  TabStrip* tabs;
  QStackedWidget* pages;
  bool below = false;

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    place();
  }
};

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
  if (auto* control = pageControl_->widgetAs<PageControlWidget>()) {
    control->tabs->setTabText(PageIndex(), caption.toQString());
    control->place();
  }
}

TPageControl::TPageControl(TComponent* owner) : TControl(owner, NewWidget<PageControlWidget>()) {
  // The strip reports the user's tab clicks; the program's changes report themselves.
  widgetAs<PageControlWidget>()->tabs->tabClicked = [this](int index) {
    TApplication::RunGuarded(this, [&] { tabChangedByUser(index); });
  };
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
  auto* control = widgetAs<PageControlWidget>();
  if (!control || !page->Widget()) return;
  control->pages->addWidget(page->Widget());
  control->tabs->insertTab(control->tabs->count(), page->Caption().toQString());
  // The first page becomes the active one, as when the control is built.
  if (!active_) active_ = page;
  showActive();
}

void TPageControl::removePage(TTabSheet* page) {
  const auto at = std::find(pages_.begin(), pages_.end(), page);
  if (at == pages_.end()) return;
  const int index = static_cast<int>(at - pages_.begin());
  pages_.erase(at);
  auto* control = widgetAs<PageControlWidget>();
  if (control && page->Widget()) {
    control->pages->removeWidget(page->Widget());
    control->tabs->removeTab(index);
    page->Widget()->setParent(nullptr);
  }
  if (active_ == page) active_ = pages_.empty() ? nullptr : pages_.front();
  showActive();
}

void TPageControl::showActive() {
  auto* control = widgetAs<PageControlWidget>();
  if (!control) return;
  if (active_ && active_->Widget()) control->pages->setCurrentWidget(active_->Widget());
  control->tabs->setCurrentIndex(active_ ? active_->PageIndex() : -1);
  control->place();
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == active_) return;
  activate(page);
}

int TPageControl::ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[static_cast<std::size_t>(index)]
                                                  : nullptr);
}

void TPageControl::tabChangedByUser(int index) {
  if (index < 0 || index >= PageCount()) return;
  TTabSheet* page = pages_[static_cast<std::size_t>(index)];
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
  showActive();
  showingChanged(left, false);
  showingChanged(page, true);
}

void TPageControl::SetTabPosition(TTabPosition position) {
  tabPosition_ = position;
  auto* control = widgetAs<PageControlWidget>();
  if (!control) return;
  // Tabs at the sides are drawn at the top.
  control->below = position == tpBottom;
  control->tabs->setBelow(control->below);
  control->place();
}

void TPageControl::SetStyle(TTabStyle style) {
  style_ = style;
  auto* control = widgetAs<PageControlWidget>();
  if (!control) return;
  control->tabs->setLook(style == tsTabs      ? TabStrip::Look::Tabs
                         : style == tsButtons ? TabStrip::Look::Buttons
                                              : TabStrip::Look::FlatButtons);
  control->pages->setFrameShape(style == tsTabs ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TPageControl::SetMultiLine(bool multiLine) {
  multiLine_ = multiLine;
  auto* control = widgetAs<PageControlWidget>();
  if (!control) return;
  control->tabs->setMultiLine(multiLine);
  control->place();
}
