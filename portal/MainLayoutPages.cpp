// The main window's stored layout: every page but Main.
#include <QWidget>

#include "forms/Layout.h"
#include "portal/MakerDetails.h"
#include "portal/Pictures.h"
#include "portal/Unit1.h"

namespace {

constexpr const char* dialUpNote =
    "Dial-up users: the portal fetches eBay's official time at start-up and, when asked, every "
    "hour, and it refreshes the watch list every refresh interval. Keep the connection open "
    "while auctions are being watched, or those fetches fail until it is back.";

constexpr const char* itemInGroupInstructions[] = {
    "No item selected. ",
    "",
    "To manage group membership: ",
    "",
    "- Choose the Show All tab and select an item.  Then click this tab",
    "- Or right click an item and select Select Item Group.",
};

}  // namespace

// Budget Worksheet: the workbook F1Book1 fills the page.
void TfrmMain::buildBudgetPage() {
  F1Book1 = placeControl<TF1Book>(this, tsBudgeWrksht, "F1Book1", 0, 0, 577, 382);
  F1Book1->SetAlign(alClient);
  // The plan sheet's item column shows a whole item number (12 digits).
  F1Book1->SetColWidth(1, 1, 12);
  gbHiddenNextBid = placeCaptioned<TGroupBox>(this, tsBudgeWrksht, "gbHiddenNextBid", " Next Bid ",
                                              8, 8, 300, 94);
  edtNBEnds = placeControl<TLabeledEdit>(this, gbHiddenNextBid, "edtNBEnds", 8, 34, 130, 21);
  edtNBEnds->EditLabel()->SetCaption("Ends");
  edtNBSnipeAmt =
      placeControl<TLabeledEdit>(this, gbHiddenNextBid, "edtNBSnipeAmt", 144, 34, 80, 21);
  edtNBSnipeAmt->EditLabel()->SetCaption("Snipe Amount");
  BitBtn2 =
      placeCaptioned<TBitBtn>(this, gbHiddenNextBid, "BitBtn2", "Find Next Bid", 8, 60, 100, 25);
  gbHiddenNextBid->Hide();
}

void TfrmMain::buildGroupsPage() {
  lvGroups = placeControl<TListView>(this, tsManageItemGroups, "lvGroups", 4, 4, 569, 230);
  const struct {
    const char* caption;
    int width;
    TAlignment alignment;
  } groupColumns[] = {
      {"Group", 65, taLeftJustify}, {"Note", 300, taCenter}, {"How Many", 150, taCenter}};
  for (const auto& column : groupColumns) {
    TListColumn* added = lvGroups->Columns()->Add();
    added->SetCaption(column.caption);
    added->SetWidth(column.width);
    added->SetAlignment(column.alignment);
  }
  lvGroups->SetReadOnly(true);
  lvGroups->SetRowSelect(true);
  lvGroups->SetGridLines(true);
  lvGroups->SetHint("Right Click For More Options");
  TListItem* independentGroup = lvGroups->Items()->Add();
  independentGroup->SetCaption("IND");
  independentGroup->SubItems()->Add("Bids independently of orher auction results");
  independentGroup->SubItems()->Add("1");
  pmGroupLV = new TPopupMenu(this);
  pmGroupLV->SetName("pmGroupLV");
  DeleteGroup1 = new TMenuItem(this);
  DeleteGroup1->SetName("DeleteGroup1");
  DeleteGroup1->SetCaption("Delete Group");
  pmGroupLV->Items()->Add(DeleteGroup1);
  lvGroups->SetPopupMenu(pmGroupLV);
  gbAddGroup = placeCaptioned<TGroupBox>(this, tsManageItemGroups, "gbAddGroup", "Add Group", 4,
                                         240, 569, 120);
  edtGrpNme = placeControl<TLabeledEdit>(this, gbAddGroup, "edtGrpNme", 8, 34, 120, 21);
  edtGrpNme->EditLabel()->SetCaption("Group Name");
  edtGrpNote = placeControl<TLabeledEdit>(this, gbAddGroup, "edtGrpNote", 136, 34, 250, 21);
  edtGrpNote->EditLabel()->SetCaption("Note");
  edtGrpHowMany = placeControl<TLabeledEdit>(this, gbAddGroup, "edtGrpHowMany", 8, 80, 60, 21);
  edtGrpHowMany->EditLabel()->SetCaption("How Many To Win Before Cancelling Group");
  btnAddGrp = placeCaptioned<TButton>(this, gbAddGroup, "btnAddGrp", "Add", 400, 30, 75, 25);
  btnChange = placeCaptioned<TButton>(this, gbAddGroup, "btnChange", "&Change", 480, 30, 75, 25);
}

void TfrmMain::buildItemInGroupPage() {
  gbPlaceInGroup = placeCaptioned<TGroupBox>(this, tsItemInGroup, "gbPlaceInGroup",
                                             "Place Auction In Group", 4, 4, 569, 200);
  edtNumTitle = placeControl<TLabeledEdit>(this, gbPlaceInGroup, "edtNumTitle", 8, 36, 553, 21);
  edtNumTitle->EditLabel()->SetCaption("Item Number and Title");
  edtNumTitle->SetReadOnly(true);
  MInstruct = placeControl<TMemo>(this, gbPlaceInGroup, "MInstruct", 8, 64, 553, 128);
  MInstruct->SetReadOnly(true);
  for (const char* line : itemInGroupInstructions) MInstruct->Lines()->Add(line);
}

void TfrmMain::buildArchivePage() {
  gbSaveAll = placeCaptioned<TGroupBox>(this, tsArchiveData, "gbSaveAll", "Save All Items To Disk ",
                                        4, 4, 250, 60);
  BitBtn1 = placeCaptioned<TBitBtn>(this, gbSaveAll, "BitBtn1", "&Save", 8, 22, 75, 25);
}

// Egg Timer and Alarm Clock.
void TfrmMain::buildLauncherPages() {
  gbEggTimer = placeCaptioned<TGroupBox>(this, tsEggTimer, "gbEggTimer", " Launch Egg Timer ", 4, 4,
                                         250, 60);
  btnEggTmr =
      placeCaptioned<TButton>(this, gbEggTimer, "btnEggTmr", "Launch Egg Timer", 8, 22, 150, 25);
  gbAlarm =
      placeCaptioned<TGroupBox>(this, tsAlarm, "gbAlarm", " Launch Alarm Clock", 4, 4, 250, 60);
  btnLauchAlrm =
      placeCaptioned<TButton>(this, gbAlarm, "btnLauchAlrm", "Launch Alarm Clock", 8, 22, 150, 25);
}

// Browser: the item-page browser fills the page under its note.
void TfrmMain::buildBrowserPage() {
  pnlBroNote = placeCaptioned<TPanel>(this, tsBro, "pnlBroNote",
                                      "This Browser is For Program Use Only. ", 0, 0, 577, 24);
  pnlBroNote->SetAlign(alTop);
  bro = new TCppWebBrowser(this, tsBro->ClientWidget());
  bro->SetName("bro");
  bro->widget()->setGeometry(0, 24, 577, 358);
}

void TfrmMain::buildPreferencesPage() {
  const auto edit = [this](TLabeledEdit*& control, const char* name, const char* label, int top) {
    control = placeControl<TLabeledEdit>(this, tsPreferences, name, 12, top, 200, 21);
    control->EditLabel()->SetCaption(label);
  };
  edit(edtEbayMember, "edtEbayMember", "eBay ID:", 24);
  edit(edtEbayPass, "edtEbayPass", "eBay Password:", 68);
  edtEbayPass->SetPasswordChar('*');
  edit(edtRefreshInterval, "edtRefreshInterval", "Refresh Interval (seconds) DEFAULT: 300", 112);
  edtRefreshInterval->SetText("300");
  edit(edtSnipeOffset, "edtSnipeOffset", "Snipe Offset (Seconds) DEFAULT 20", 156);
  edtSnipeOffset->SetText("20");
  cbSyncPeriodically =
      placeCaptioned<TCheckBox>(this, tsPreferences, "cbSyncPeriodically",
                                "Sync Clock To Ebay Website Every Hour", 12, 190, 260, 17);
  cbLogFile = placeCaptioned<TCheckBox>(this, tsPreferences, "cbLogFile", "Use log file component",
                                        12, 212, 260, 17);
  btnSavePrefs =
      placeCaptioned<TButton>(this, tsPreferences, "btnSavePrefs", "&Save", 12, 240, 75, 25);
  gbDialUp = placeCaptioned<TGroupBox>(this, tsPreferences, "gbDialUp",
                                       "Keeping Dial Up Connections ", 290, 12, 280, 150);
  memDialUp = placeControl<TMemo>(this, gbDialUp, "memDialUp", 8, 18, 264, 124);
  memDialUp->SetReadOnly(true);
  memDialUp->SetText(dialUpNote);
}

void TfrmMain::buildHelpPages() {
  btnSpprtFrms =
      placeCaptioned<TButton>(this, tsHelp, "btnSpprtFrms", "Support Forums", 8, 8, 110, 25);
  btnPrgrmHlp =
      placeCaptioned<TButton>(this, tsHelp, "btnPrgrmHlp", "&Program Help", 124, 8, 110, 25);
  gbAbout = placeCaptioned<TGroupBox>(this, tsHelp, "gbAbout",
                                      "  About Tarnwick                         ", 8, 40, 400, 150);
  Image1 = placeControl<TImage>(this, gbAbout, "Image1", 8, 24, 96, 64);
  Image1->Picture()->LoadFromJpegBytes(aboutPictureJpeg());
  laVer = placeCaptioned<TLabel>(this, gbAbout, "laVer", "laVer", 116, 24, 270, 13);
  laAboutLine = placeCaptioned<TLabel>(this, gbAbout, "laAboutLine", "", 116, 44, 270, 13);

  gbSupportCenter = placeCaptioned<TGroupBox>(this, tsSprtCntr, "gbSupportCenter", "Support Center",
                                              8, 8, 400, 120);
  lblSupportMail =
      placeCaptioned<TLabel>(this, gbSupportCenter, "lblSupportMail",
                             AnsiString("email:  ") + supportMailAddress, 8, 20, 380, 13);
  BitBtn3 =
      placeCaptioned<TBitBtn>(this, gbSupportCenter, "BitBtn3", "&Program Help", 8, 44, 110, 25);
  BitBtn4 =
      placeCaptioned<TBitBtn>(this, gbSupportCenter, "BitBtn4", "Support Forums", 124, 44, 110, 25);
  btnEmail = placeControl<TBitBtn>(this, gbSupportCenter, "btnEmail", 240, 44, 40, 25);
  btnEmail->Glyph()->LoadFromJpegBytes(mailPictureJpeg());
}
