// The five filtered views of the watch list, built when their page is shown, and the watch
// list's column sort. Every test of time is on eBay's clock (local time minus the offset), and
// an auction's end is that of its end-time entry; an auction without one is in no view.
#include <functional>

#include "forms/Dialogs.h"
#include "forms/Layout.h"
#include "lib/SysUtils.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/EbayScraper.h"

int sortColumn = 0;

namespace {

// The cells go over in one assignment, which the view's widget learns of once.
void copyRow(const TListItem* row, TListView* view) {
  TListItem* copy = view->Items()->Add();
  copy->SetCaption(row->Caption());
  *copy->SubItems() = *row->SubItems();
}

// A cell's amount; a text that is no number shows the box and counts as fallback.
double amountOrBox(const AnsiString& text, const char* message, double fallback) {
  if (!ebayScraper.isNumericText(text)) {
    MessageDlg(message, mtError, {mbOK});
    return fallback;
  }
  double value = fallback;
  return readAmount(text, value) ? value : fallback;
}

}  // namespace

bool TfrmMain::auctionEnd(const AnsiString& itemNumber, TDateTime& end) {
  const TListItem* entry = findRowByCaption(lvAllTdate, itemNumber);
  // An end text that does not convert counts as no end.
  return entry && TryStrToDateTime(cellText(entry, siEndTime), end);
}

TDateTime TfrmMain::ebayNow() { return Now() - ebayTimeOffset; }

// The row count is read afresh at every step: a box shown here runs a nested message loop in
// which the schedule may change the watch list.
void TfrmMain::buildView(TListView* view, const ViewTest& shows) {
  view->Items()->Clear();
  for (int i = 0; i < lvShowAll->Items()->Count(); ++i) {
    TListItem* row = lvShowAll->Items()->Item(i);
    TDateTime end;
    if (!auctionEnd(row->Caption(), end)) continue;
    if (shows(row, end, ebayNow())) copyRow(row, view);
  }
}

namespace {

// Current bid and snipe amount of an active view's row, in that order, each with its box.
void readAmounts(const TListItem* row, double& current, double& snipe) {
  current =
      amountOrBox(cellText(row, siCurrent), "Nonumeric value in current bid. ERROR #426-1607", 0);
  snipe = amountOrBox(cellText(row, siSnipeAmount),
                      "Nonumeric value in snipe amount. ERROR #430-1618", -1);
}

}  // namespace

void TfrmMain::tsActiveOutbidShow(TObject* Sender) {
  (void)Sender;
  logLine("TAG:tsActiveOutbidShow(TObject *Sender)");
  buildView(lvActiveOutbid, [](TListItem* row, TDateTime end, TDateTime now) {
    if (!(end > now)) return false;
    double current = 0, snipe = 0;
    readAmounts(row, current, snipe);
    return snipe <= current;
  });
}

void TfrmMain::tsActiveHighBidderShow(TObject* Sender) {
  (void)Sender;
  logLine("TAG:tsActiveHighBidderShow(TObject *Sender)");
  buildView(lvActiveHighBidder, [](TListItem* row, TDateTime end, TDateTime now) {
    if (!(end > now)) return false;
    double current = 0, snipe = 0;
    readAmounts(row, current, snipe);
    return snipe > current;
  });
}

void TfrmMain::tsActiveWaitingToBidShow(TObject* Sender) {
  (void)Sender;
  logLine("TAG:tsActiveWaitingToBidShow(TObject *Sender)");
  buildView(lvActiveWaitingToBid, [](TListItem* row, TDateTime end, TDateTime now) {
    return cellText(row, siSnipeAmount) != "0.00" && end > now;
  });
}

void TfrmMain::tsClosedLostShow(TObject* Sender) {
  (void)Sender;
  logLine("TAG:tsClosedLostShow(TObject *Sender)");
  buildView(lvClosedLost, [](TListItem* row, TDateTime end, TDateTime now) {
    return end < now && ebayScraper.containsText("LOST", cellText(row, siEnds));
  });
}

void TfrmMain::tsClosedWonShow(TObject* Sender) {
  (void)Sender;
  logLine("TAG:tsClosedWonShow(TObject *Sender)");
  buildView(lvClosedWon, [](TListItem* row, TDateTime end, TDateTime now) {
    return end < now && ebayScraper.containsText("WON", cellText(row, siEnds));
  });
}

void TfrmMain::lvShowAllColumnClick(TObject* Sender, TListColumn* Column) {
  (void)Sender;
  logLine("TAG      :lvShowAllColumnClick(TObject *Sender,");
  sortColumn = Column ? Column->Index() : 0;
  lvShowAll->AlphaSort();
}

// Ascending; equal amounts give -1, never 0. An amount that does not convert (such as "***")
// is ordered by its text instead, as is a first amount of exactly -9.99.
void TfrmMain::lvShowAllCompare(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data,
                                int& Compare) {
  (void)Sender;
  (void)Data;
  logLine("TAG      :lvShowAllCompare(TObject *Sender,mpare)");
  if (sortColumn == 0) {
    Compare = CompareText(Item1->Caption(), Item2->Caption());
    return;
  }
  const int subItem = sortColumn - 1;
  const AnsiString first = cellText(Item1, subItem);
  const AnsiString second = cellText(Item2, subItem);
  if (sortColumn == 1 || sortColumn == 3) {
    double a = 0, b = 0;
    if (readAmount(first, a) && readAmount(second, b) && a != -9.99) {
      Compare = a > b ? 1 : -1;
      return;
    }
  }
  Compare = AnsiCompareText(first, second);
}

void TfrmMain::connectViewEvents() {
  const auto on = [this](void (TfrmMain::*handler)(TObject*)) { return handlerOf(this, handler); };
  tsViewActOut->OnShow = on(&TfrmMain::tsActiveOutbidShow);
  tsHighBidder->OnShow = on(&TfrmMain::tsActiveHighBidderShow);
  tsActiveWaitingToBid->OnShow = on(&TfrmMain::tsActiveWaitingToBidShow);
  tsClosedLost->OnShow = on(&TfrmMain::tsClosedLostShow);
  tsClosedWon->OnShow = on(&TfrmMain::tsClosedWonShow);
  BitBtn2->OnClick = on(&TfrmMain::BitBtn2Click);
  ShowNextBid1->OnClick = on(&TfrmMain::ShowNextBid1Click);
  lvShowAll->OnColumnClick = [this](TObject* Sender, TListColumn* Column) {
    lvShowAllColumnClick(Sender, Column);
  };
  lvShowAll->OnCompare = [this](TObject* Sender, TListItem* Item1, TListItem* Item2, int Data,
                                int& Compare) {
    lvShowAllCompare(Sender, Item1, Item2, Data, Compare);
  };
}
