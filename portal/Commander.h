#pragma once
// The command bar: a narrow window that docks to the main window's right edge. Its visible
// speed buttons switch the main window's pages; its invisible buttons carry routines that the
// main window runs through frmCommand (their handlers live with the work they do: the
// preferences, the watch-list files, the clock offset, the refresh and the dispatch). The
// bar's own handlers write no trace line.
#include "forms/Buttons.h"
#include "forms/Form.h"

class TfrmCommand : public TForm {
 public:
  // Visible buttons, top to bottom.
  TSpeedButton* spdShowAll = nullptr;
  TSpeedButton* spdAddAuction = nullptr;
  TSpeedButton* spdActiveOutbid = nullptr;
  TSpeedButton* spdActiveHighBidder = nullptr;
  TSpeedButton* spdActiveWaitingToBid = nullptr;
  TSpeedButton* spdClosedLost = nullptr;
  TSpeedButton* spdClosedWon = nullptr;
  TSpeedButton* SpeedButton3 = nullptr;
  TSpeedButton* spdPreferences = nullptr;
  TSpeedButton* btnTabs = nullptr;
  TSpeedButton* spdArchiveData = nullptr;
  TSpeedButton* spdManageItemGroups = nullptr;
  TSpeedButton* spdSprtCntr = nullptr;
  TSpeedButton* SpeedButton2 = nullptr;
  TSpeedButton* SpeedButton1 = nullptr;
  TSpeedButton* spdHelp = nullptr;

  // Invisible buttons, never shown.
  TButton* btnGetOffset = nullptr;
  TButton* btnSaveLVShowAll = nullptr;
  TButton* btnLoadLVShowAll = nullptr;
  TButton* btnTarn = nullptr;
  TButton* btnSvOptns = nullptr;
  TButton* btnLdOptns = nullptr;
  TButton* Button2 = nullptr;
  TButton* Button3 = nullptr;

  explicit TfrmCommand(TComponent* Owner);

  // Page buttons.
  void spdShowAllClick(TObject* Sender);
  void spdAddAuctionClick(TObject* Sender);
  void spdActiveOutbidClick(TObject* Sender);
  void spdActiveHighBidderClick(TObject* Sender);
  void spdActiveWaitingToBidClick(TObject* Sender);
  void spdClosedLostClick(TObject* Sender);
  void spdClosedWonClick(TObject* Sender);
  void SpeedButton3Click(TObject* Sender);
  void spdPreferencesClick(TObject* Sender);
  void btnTabsClick(TObject* Sender);
  void spdArchiveDataClick(TObject* Sender);
  void spdManageItemGroupsClick(TObject* Sender);
  void spdSprtCntrClick(TObject* Sender);
  void SpeedButton2Click(TObject* Sender);
  void SpeedButton1Click(TObject* Sender);
  void spdHelpClick(TObject* Sender);

  // Hidden buttons' routines, run by the main window.
  void btnLdOptnsClick(TObject* Sender);        // preferences file -> preference controls
  void btnSvOptnsClick(TObject* Sender);        // preference controls -> preferences file
  void btnLoadLVShowAllClick(TObject* Sender);  // "lvshowall.txt" -> watch list
  void btnSaveLVShowAllClick(TObject* Sender);  // watch list -> "lvshowall.txt"
  void btnTarnClick(TObject* Sender);           // deletes the saved page files
  void btnGetOffsetClick(TObject* Sender);      // starts a clock sync in the offset browser
  void Button2Click(TObject* Sender);           // awaits an agent result without starting one
  void Button3Click(TObject* Sender);           // runs the dispatch check at once

 private:
  void buildLayout();
  void connectButtons();
};

extern TfrmCommand* frmCommand;
