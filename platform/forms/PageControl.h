#pragma once
// TPageControl and its pages, TTabSheet.
//
// A page's OnShow fires when it comes into view: when it becomes the active page (by a tab
// click or by SetActivePage), and when the page its page control sits on does. Making the
// active page active again fires nothing. The page left fires OnHide first, and so do the
// active pages of the page controls on it. Page controls nest (a page control can sit on a
// page).
#include <vector>

#include "forms/Control.h"

class TPageControl;

enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };
enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };

class TTabSheet : public TControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;

  TPageControl* PageControl() const { return pageControl_; }
  // Appends the page to pageControl (null takes it out of its page control).
  void SetPageControl(TPageControl* pageControl);
  // Position among its page control's pages, -1 when it has none.
  int PageIndex() const;

  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  AnsiString caption_;
};

class TPageControl : public TControl {
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const;

  TTabSheet* ActivePage() const { return active_; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);

  TTabPosition TabPosition() const { return tabPosition_; }
  void SetTabPosition(TTabPosition position);
  TTabStyle Style() const { return style_; }
  void SetStyle(TTabStyle style);
  // Tabs wrap into rows, every one shown, or keep to one row that scrolls.
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool multiLine);

  // After the user chose another page.
  TNotifyEvent OnChange;

 private:
  friend class TTabSheet;
  void addPage(TTabSheet* page);
  void removePage(TTabSheet* page);
  void activate(TTabSheet* page);
  // Shows the active page and marks its tab.
  void showActive();
  void tabChangedByUser(int index);

  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
  TTabPosition tabPosition_ = tpTop;
  TTabStyle style_ = tsTabs;
  bool multiLine_ = false;
};
