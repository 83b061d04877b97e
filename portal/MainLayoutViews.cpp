// The main window's stored layout: the six views of the watch list and its popup menu.
#include "forms/Layout.h"
#include "portal/Unit1.h"

namespace {

// The nine columns every view shows: the row's caption, then sub-items 0 to 7.
struct ViewColumn {
  const char* caption;
  int width;
};
constexpr ViewColumn viewColumns[] = {
    {"Item", 80}, {"Snipe Amt", 62}, {"Title", 150},      {"Current", 56}, {"Bids", 36},
    {"Qty", 32},  {"Ends", 90},      {"\xA3 \xA5 $", 40}, {"Group", 50},
};

}  // namespace

void TfrmMain::buildViewPages() {
  struct ViewPage {
    TTabSheet*& sheet;
    const char* sheetName;
    const char* caption;
    TListView*& view;
    const char* viewName;
  };
  const ViewPage pages[] = {
      {tsGridAll, "tsGridAll", "Show All", lvShowAll, "lvShowAll"},
      {tsViewActOut, "tsViewActOut", "Active Outbid", lvActiveOutbid, "lvActiveOutbid"},
      {tsHighBidder, "tsHighBidder", "High Bidder", lvActiveHighBidder, "lvActiveHighBidder"},
      {tsActiveWaitingToBid, "tsActiveWaitingToBid", "Waiting To Bid", lvActiveWaitingToBid,
       "lvActiveWaitingToBid"},
      {tsClosedLost, "tsClosedLost", "Lost", lvClosedLost, "lvClosedLost"},
      {tsClosedWon, "tsClosedWon", "Won", lvClosedWon, "lvClosedWon"},
  };
  for (const ViewPage& page : pages) {
    page.sheet = new TTabSheet(this);
    page.sheet->SetName(page.sheetName);
    page.sheet->SetCaption(page.caption);
    page.sheet->SetPageControl(pcViews);
    page.view = placeControl<TListView>(this, page.sheet, page.viewName, 0, 0, 561, 254);
    page.view->SetAlign(alClient);
    page.view->SetReadOnly(true);
    page.view->SetRowSelect(true);
    for (const ViewColumn& column : viewColumns) {
      TListColumn* added = page.view->Columns()->Add();
      added->SetCaption(column.caption);
      added->SetWidth(column.width);
    }
  }
  lvShowAll->SetGridLines(true);
  lvShowAll->SetHint("Right Click For More Options");
  lvShowAll->SetShowHint(true);
  pcViews->SetActivePage(tsGridAll);
}

void TfrmMain::buildPopupMenu() {
  ShowAllPopupMenu = new TPopupMenu(this);
  ShowAllPopupMenu->SetName("ShowAllPopupMenu");
  struct Entry {
    TMenuItem*& item;
    const char* name;
    const char* caption;
  };
  const Entry entries[] = {
      {EditSnipeAmount1, "EditSnipeAmount1", "Enter / Update Snipe Amount"},
      {EnterQuanityToBidOn1, "EnterQuanityToBidOn1", "Enter Quanity To Bid On"},
      {N1, "N1", "-"},
      {Delete1, "Delete1", "Delete"},
      {DeleteAll1, "DeleteAll1", "Delete All"},
      {DeleteEnded1, "DeleteEnded1", "Delete Ended"},
      {N2, "N2", "-"},
      {EditItemGroup1, "EditItemGroup1", "Select Item Group"},
      {Setsnipeamounttozero1, "Setsnipeamounttozero1", "Set Snipe Amount To Zero."},
      {Refresh1, "Refresh1", "Refresh"},
      {LaunchSniper1, "LaunchSniper1", "Launch Sniper"},
      {ShowNextBid1, "ShowNextBid1", "Show Next Bid"},
      {Preferences1, "Preferences1", "Preferences"},
      {ViewInSystemBrowser1, "ViewInSystemBrowser1", "View In System Browser"},
      {N3, "N3", "-"},
      {AddAllToWorksheet1, "AddAllToWorksheet1", "Create Plan Sheet From Grid"},
  };
  for (const Entry& entry : entries) {
    entry.item = new TMenuItem(this);
    entry.item->SetName(entry.name);
    entry.item->SetCaption(entry.caption);
    ShowAllPopupMenu->Items()->Add(entry.item);
  }
  lvShowAll->SetPopupMenu(ShowAllPopupMenu);
}
