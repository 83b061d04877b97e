// The main window's stored layout: the form itself, its page control and the Main page.
#include "forms/ImageList.h"
#include "forms/Layout.h"
#include "portal/Unit1.h"
#include "scraping/SiteHosts.h"

void TfrmMain::buildLayout() {
  SetName("frmMain");
  SetCaption("Tarnwick: Control Command Portal");
  SetBounds(192, 114, 593, 440);
  SetBorderIcons(biSystemMenu | biMinimize);

  PageControl1 = placeControl<TPageControl>(this, this, "PageControl1", 0, 0, 585, 413);
  PageControl1->SetAlign(alClient);
  const auto page = [this](TTabSheet*& sheet, const char* name, const char* caption) {
    sheet = new TTabSheet(this);
    sheet->SetName(name);
    sheet->SetCaption(caption);
    sheet->SetPageControl(PageControl1);
  };
  page(tsShowAll, "tsShowAll", "Main");
  page(tsBudgeWrksht, "tsBudgeWrksht", "Budget Worksheet");
  page(tsManageItemGroups, "tsManageItemGroups", "Manage Item Groups");
  page(tsPreferences, "tsPreferences", "Preferences");
  page(tsItemInGroup, "tsItemInGroup", "Item In Group");
  page(tsArchiveData, "tsArchiveData", "Archive Data");
  page(tsEggTimer, "tsEggTimer", "Egg Timer");
  page(tsAlarm, "tsAlarm", "Alarm Clock");
  page(tsBro, "tsBro", "Browser");
  page(tsHelp, "tsHelp", "Help");
  page(tsSprtCntr, "tsSprtCntr", "Support Center");
  PageControl1->SetStyle(tsFlatButtons);

  buildHiddenMainParts();
  buildMainPage();
  buildViewPages();
  buildPopupMenu();
  buildBudgetPage();
  buildGroupsPage();
  buildItemInGroupPage();
  buildArchivePage();
  buildLauncherPages();
  buildBrowserPage();
  buildPreferencesPage();
  buildHelpPages();

  pnlPleaseWait = placeCaptioned<TPanel>(this, this, "pnlPleaseWait",
                                         "Calculating Ebay Time Offset.", 0, 0, 585, 413);
  pnlPleaseWait->Hide();
  tmrDynaTimer = new TTimer(this);
  tmrDynaTimer->SetName("tmrDynaTimer");
  tmrDynaTimer->SetInterval(5000);
  tmrDynaTimer->SetEnabled(true);
  buildHttpClient();
  buildSmtpClient();
  new TImageList(this);
  PageControl1->SetActivePage(tsShowAll);
}

void TfrmMain::buildMainPage() {
  Panel3 = placeControl<TPanel>(this, tsShowAll, "Panel3", 0, 0, 577, 382);
  Panel3->SetAlign(alClient);
  Panel3->BringToFront();

  gbEnterItem = placeCaptioned<TGroupBox>(this, Panel3, "gbEnterItem", "Enter Ebay Item Number", 4,
                                          2, 284, 48);
  edtNewItem = placeControl<TEdit>(this, gbEnterItem, "edtNewItem", 8, 18, 212, 21);
  btnEnterItemNum =
      placeCaptioned<TButton>(this, gbEnterItem, "btnEnterItemNum", "OK", 226, 16, 50, 25);

  gbNextRefresh =
      placeCaptioned<TGroupBox>(this, Panel3, "gbNextRefresh", "Next Refresh", 292, 2, 281, 48);
  lblNextRefresh = placeCaptioned<TLabel>(this, gbNextRefresh, "lblNextRefresh", "", 8, 22, 88, 13);
  btnRefreshNow = placeCaptioned<TButton>(this, gbNextRefresh, "btnRefreshNow", "&Refresh Now", 189,
                                          16, 84, 25);

  pcViews = placeControl<TPageControl>(this, Panel3, "pcViews", 4, 54, 569, 266);
  pcViews->SetTabPosition(tpBottom);
  pcViews->SetMultiLine(true);

  // Under the views: the next bid, the group of the selected auction and the totals.
  gbNextBid = placeCaptioned<TGroupBox>(this, Panel3, "gbNextBid", "Next Bid", 4, 322, 400, 58);
  edtNBItemNum = placeControl<TLabeledEdit>(this, gbNextBid, "edtNBItemNum", 8, 32, 100, 21);
  edtNBItemNum->EditLabel()->SetCaption("Item Number");
  edtNBItemNum->SetReadOnly(true);
  edtNBTitle = placeControl<TLabeledEdit>(this, gbNextBid, "edtNBTitle", 114, 32, 278, 21);
  edtNBTitle->EditLabel()->SetCaption("Title");
  edtNBTitle->SetReadOnly(true);

  gbGroup = placeCaptioned<TGroupBox>(this, Panel3, "gbGroup", "Group", 408, 322, 88, 58);
  comGroup = placeControl<TComboBox>(this, gbGroup, "comGroup", 8, 28, 72, 21);
  comGroup->Items()->Add("IND");

  // The totals, right-aligned, from top to bottom: the hour, the open auctions, all.
  Panel5 = placeControl<TPanel>(this, Panel3, "Panel5", 500, 326, 73, 54);
  const auto total = [this](TLabel*& value, const char* name, const char* mark, int top) {
    placeCaptioned<TLabel>(this, Panel5, "", mark, 4, top, 10, 13);
    value = placeControl<TLabel>(this, Panel5, name, 14, top, 55, 13);
    value->SetAutoSize(false);
    value->SetAlignment(taRightJustify);
    value->SetCaption("0.00");
  };
  total(lblHr, "lblHr", "H", 4);
  total(lblOpen, "lblOpen", "O", 19);
  total(lblTotal, "lblTotal", "T", 34);
}

void TfrmMain::buildHiddenMainParts() {
  // Behind Panel3, where the user never sees them: the official-time browser, the fetch's
  // memos and the end-time list.
  pnlBroOffset = placeControl<TPanel>(this, tsShowAll, "pnlBroOffset", 8, 8, 400, 300);
  broOffset = new TCppWebBrowser(this, pnlBroOffset->ClientWidget());
  broOffset->SetName("broOffset");
  DisplayMemo = placeControl<TMemo>(this, pnlBroOffset, "DisplayMemo", 0, 0, 200, 120);
  DocumentMemo = placeControl<TMemo>(this, pnlBroOffset, "DocumentMemo", 0, 124, 200, 120);
  URLEdit = placeControl<TEdit>(this, pnlBroOffset, "URLEdit", 204, 0, 190, 21);
  URLEdit->SetText(officialTimePageUrl("TimeShow"));
  GetButton = placeCaptioned<TButton>(this, pnlBroOffset, "GetButton", "&Get", 204, 24, 75, 25);
  // Panels draw no background of their own here, so the panel is hidden rather than covered.
  pnlBroOffset->Hide();

  lvAllTdate = placeControl<TListView>(this, tsShowAll, "lvAllTdate", 8, 8, 250, 150);
  for (const char* caption : {"itemNum", "TdateTime", "dispStatus"})
    lvAllTdate->Columns()->Add()->SetCaption(caption);
  lvAllTdate->Hide();
}
