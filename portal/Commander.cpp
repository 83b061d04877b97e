// The command bar's layout and its page buttons. Each page button makes a page of the main
// window's PageControl1 the active one; the view buttons then also choose the view page of
// pcViews, whose showing rebuilds that view.
#include "portal/Commander.h"

#include "forms/Dialogs.h"
#include "forms/Layout.h"
#include "portal/Unit1.h"

TfrmCommand* frmCommand = nullptr;

TfrmCommand::TfrmCommand(TComponent* Owner) : TForm(Owner) {
  buildLayout();
  connectButtons();
}

void TfrmCommand::buildLayout() {
  SetName("frmCommand");
  SetCaption("Command Bar");
  SetBounds(922, 112, 164, 429);
  SetBorderIcons(0);
  // The bar comes up beside the main window and leaves the keyboard where it was.
  SetActivateOnShow(false);

  struct Visible {
    TSpeedButton*& button;
    const char* name;
    const char* caption;
    int left, top, width, height;
  };
  const Visible visible[] = {
      {spdShowAll, "spdShowAll", "Main", 0, 0, 162, 25},
      {spdAddAuction, "spdAddAuction", "Add Auction", 0, 25, 162, 25},
      {spdActiveOutbid, "spdActiveOutbid", "Active: Outbid", 0, 50, 162, 25},
      {spdActiveHighBidder, "spdActiveHighBidder", "Active: High Bidder", 0, 75, 162, 25},
      {spdActiveWaitingToBid, "spdActiveWaitingToBid", "Active: Waiting To Bid", 0, 100, 162, 25},
      {spdClosedLost, "spdClosedLost", "Closed: Lost", 0, 125, 162, 25},
      {spdClosedWon, "spdClosedWon", "Closed: Won", 0, 150, 162, 25},
      {SpeedButton3, "SpeedButton3", "Plan Costs", 2, 175, 158, 22},
      {spdPreferences, "spdPreferences", "Preferences", 0, 198, 162, 25},
      {btnTabs, "btnTabs", "Tabs", 4, 224, 153, 25},
      {spdArchiveData, "spdArchiveData", "Archive Data", 0, 250, 162, 25},
      {spdManageItemGroups, "spdManageItemGroups", "Manage Item Groups", 0, 275, 162, 25},
      {spdSprtCntr, "spdSprtCntr", "Support Center", 0, 300, 162, 25},
      {SpeedButton2, "SpeedButton2", "Alarm", 0, 325, 83, 25},
      {SpeedButton1, "SpeedButton1", "Egg Timer", 81, 325, 83, 25},
      {spdHelp, "spdHelp", "Help", 0, 350, 162, 25},
  };
  for (const Visible& entry : visible) {
    entry.button = placeCaptioned<TSpeedButton>(this, this, entry.name, entry.caption, entry.left,
                                                entry.top, entry.width, entry.height);
    entry.button->SetFlat(true);
    entry.button->Font()->SetStyle(fsBold);
  }

  struct Invisible {
    TButton*& button;
    const char* name;
    const char* caption;
  };
  const Invisible invisible[] = {
      {btnGetOffset, "btnGetOffset", "Get Offset"},
      {btnSaveLVShowAll, "btnSaveLVShowAll", "save lv"},
      {btnLoadLVShowAll, "btnLoadLVShowAll", "load lv"},
      {btnTarn, "btnTarn", "test"},
      {btnSvOptns, "btnSvOptns", "saveOptions"},
      {btnLdOptns, "btnLdOptns", "loadOptions"},
      {Button2, "Button2", "refresh"},
      {Button3, "Button3", "launch snipe"},
  };
  int left = 4;
  for (const Invisible& entry : invisible) {
    entry.button =
        placeCaptioned<TButton>(this, this, entry.name, entry.caption, left, 380, 25, 25);
    entry.button->Hide();
    left += 19;
  }
}

void TfrmCommand::connectButtons() {
  const auto on = [this](void (TfrmCommand::*handler)(TObject*)) {
    return handlerOf(this, handler);
  };
  spdShowAll->OnClick = on(&TfrmCommand::spdShowAllClick);
  spdAddAuction->OnClick = on(&TfrmCommand::spdAddAuctionClick);
  spdActiveOutbid->OnClick = on(&TfrmCommand::spdActiveOutbidClick);
  spdActiveHighBidder->OnClick = on(&TfrmCommand::spdActiveHighBidderClick);
  spdActiveWaitingToBid->OnClick = on(&TfrmCommand::spdActiveWaitingToBidClick);
  spdClosedLost->OnClick = on(&TfrmCommand::spdClosedLostClick);
  spdClosedWon->OnClick = on(&TfrmCommand::spdClosedWonClick);
  SpeedButton3->OnClick = on(&TfrmCommand::SpeedButton3Click);
  spdPreferences->OnClick = on(&TfrmCommand::spdPreferencesClick);
  btnTabs->OnClick = on(&TfrmCommand::btnTabsClick);
  spdArchiveData->OnClick = on(&TfrmCommand::spdArchiveDataClick);
  spdManageItemGroups->OnClick = on(&TfrmCommand::spdManageItemGroupsClick);
  spdSprtCntr->OnClick = on(&TfrmCommand::spdSprtCntrClick);
  SpeedButton2->OnClick = on(&TfrmCommand::SpeedButton2Click);
  SpeedButton1->OnClick = on(&TfrmCommand::SpeedButton1Click);
  spdHelp->OnClick = on(&TfrmCommand::spdHelpClick);

  btnGetOffset->OnClick = on(&TfrmCommand::btnGetOffsetClick);
  btnSaveLVShowAll->OnClick = on(&TfrmCommand::btnSaveLVShowAllClick);
  btnLoadLVShowAll->OnClick = on(&TfrmCommand::btnLoadLVShowAllClick);
  btnTarn->OnClick = on(&TfrmCommand::btnTarnClick);
  btnSvOptns->OnClick = on(&TfrmCommand::btnSvOptnsClick);
  btnLdOptns->OnClick = on(&TfrmCommand::btnLdOptnsClick);
  Button2->OnClick = on(&TfrmCommand::Button2Click);
  Button3->OnClick = on(&TfrmCommand::Button3Click);
}

namespace {

void showPage(TTabSheet* page) { frmMain->PageControl1->SetActivePage(page); }

// The Main page, then the view page on it.
void showView(TTabSheet* view) {
  showPage(frmMain->tsShowAll);
  frmMain->pcViews->SetActivePage(view);
}

}  // namespace

void TfrmCommand::spdShowAllClick(TObject*) { showView(frmMain->tsGridAll); }

void TfrmCommand::spdAddAuctionClick(TObject* Sender) {
  MessageDlg(
      "Add an auction: Click MAIN on command bar and enter auction number in the box that says "
      "\"Enter eBay item number.\"",
      mtInformation, {mbOK});
  frmMain->btnPrgrmHlpClick(Sender);
}

void TfrmCommand::spdActiveOutbidClick(TObject*) { showView(frmMain->tsViewActOut); }
void TfrmCommand::spdActiveHighBidderClick(TObject*) { showView(frmMain->tsHighBidder); }
void TfrmCommand::spdActiveWaitingToBidClick(TObject*) { showView(frmMain->tsActiveWaitingToBid); }
void TfrmCommand::spdClosedLostClick(TObject*) { showView(frmMain->tsClosedLost); }
void TfrmCommand::spdClosedWonClick(TObject*) { showView(frmMain->tsClosedWon); }
void TfrmCommand::SpeedButton3Click(TObject*) { showPage(frmMain->tsBudgeWrksht); }
void TfrmCommand::spdPreferencesClick(TObject*) { showPage(frmMain->tsPreferences); }

void TfrmCommand::btnTabsClick(TObject*) {
  frmMain->PageControl1->SetMultiLine(!frmMain->PageControl1->MultiLine());
}

void TfrmCommand::spdArchiveDataClick(TObject*) { showPage(frmMain->tsArchiveData); }
void TfrmCommand::spdManageItemGroupsClick(TObject*) { showPage(frmMain->tsManageItemGroups); }
void TfrmCommand::spdSprtCntrClick(TObject*) { showPage(frmMain->tsSprtCntr); }
void TfrmCommand::SpeedButton2Click(TObject*) { showPage(frmMain->tsAlarm); }
void TfrmCommand::SpeedButton1Click(TObject*) { showPage(frmMain->tsEggTimer); }
void TfrmCommand::spdHelpClick(TObject*) { showPage(frmMain->tsHelp); }
