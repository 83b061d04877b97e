// The main window's stored layout: the six views of the watch list and its popup menu.
#include "forms/Layout.h"
#include "portal/Unit1.h"

namespace {

// The nine columns every view shows: the row's caption, then sub-items 0 to 7. All but the
// first are centred; the last three size themselves. "Item" holds a twelve-digit item
// number whole (today's numbers are two digits longer than the layout's 65 pixels were drawn
// for); the room comes from "Title", so the columns keep the layout's total width.
struct ViewColumn {
  const char* caption;
  int width;  // 0: sizes itself
};
constexpr ViewColumn viewColumns[] = {
    {"Item", 84}, {"Snipe Amt", 60}, {"Title", 121},     {"Current", 56}, {"Bids", 35},
    {"Qty", 30},  {"Ends", 0},       {"\xA3 \xA5 $", 0}, {"Group", 0},
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
    page.view->SetGridLines(true);
    page.view->SetHint("Right Click For More Options");
    page.view->SetShowHint(true);
    for (const ViewColumn& column : viewColumns) {
      TListColumn* added = page.view->Columns()->Add();
      added->SetCaption(column.caption);
      if (column.width > 0) added->SetWidth(column.width);
      added->SetAutoSize(column.width == 0);
      if (added->Index() > 0) added->SetAlignment(taCenter);
    }
  }
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
