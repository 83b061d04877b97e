#pragma once
// The portal's main window. Every part of the portal lives on this window (its controls, its
// members, its trace log) and is reached through the one global instance frmMain.
//
// The window's source is split by concern:
//   MainLayout*.cpp   builds the pages and controls (what the stored layout holds)
//   MainLifecycle.cpp construction, first show, shutdown, the message map
//   MainTraceLog.cpp  logLine and the logging flag (the pure steps are in TraceLog.h)
//   FailureRoad.cpp   the application-wide exception handler and "errlog.txt"
//   VersionCaption.cpp the About page's version caption
//   the remaining files hold the operations of the watch list, the totals, the groups, the clock
//   offset and the docking, which the start-up and the shutdown call.
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "browser/CppWebBrowser.h"
#include "forms/Buttons.h"
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/Edit.h"
#include "forms/Form.h"
#include "forms/GroupBox.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/ListView.h"
#include "forms/Memo.h"
#include "forms/Menus.h"
#include "forms/PageControl.h"
#include "forms/Panel.h"
#include "forms/Timer.h"
#include "lib/AnsiString.h"
#include "lib/DateTime.h"
#include "lib/Exceptions.h"
#include "lib/StringList.h"
#include "portal/HandedOverRows.h"
#include "workbook/F1Book.h"

// What a browser of the main window is doing (one byte each).
using broAct = unsigned char;
// The item-page browser's actions: idle (the blank page has come), adding an auction (its item
// page asked for), the page handled (the blank page asked for).
inline constexpr broAct actIdle = 1;
inline constexpr broAct actAdding = 5;
inline constexpr broAct actPageHandled = 9;
// The state of the busy panel pnlPleaseWait.
using panelStatus = unsigned char;

class THttpCli;
class TSyncSmtpCli;

class TfrmMain : public TForm {
 public:
  // Page control and its pages.
  TPageControl* PageControl1 = nullptr;
  TTabSheet* tsShowAll = nullptr;
  TTabSheet* tsBudgeWrksht = nullptr;
  TTabSheet* tsManageItemGroups = nullptr;
  TTabSheet* tsPreferences = nullptr;
  TTabSheet* tsItemInGroup = nullptr;
  TTabSheet* tsArchiveData = nullptr;
  TTabSheet* tsEggTimer = nullptr;
  TTabSheet* tsAlarm = nullptr;
  TTabSheet* tsBro = nullptr;
  TTabSheet* tsHelp = nullptr;
  TTabSheet* tsSprtCntr = nullptr;

  // Main page.
  TPanel* Panel3 = nullptr;
  TGroupBox* gbEnterItem = nullptr;
  TEdit* edtNewItem = nullptr;
  TButton* btnEnterItemNum = nullptr;
  TGroupBox* gbNextRefresh = nullptr;
  TLabel* lblNextRefresh = nullptr;
  TButton* btnRefreshNow = nullptr;
  TGroupBox* gbGroup = nullptr;
  TComboBox* comGroup = nullptr;
  TPanel* Panel5 = nullptr;
  TLabel* lblTotal = nullptr;
  TLabel* lblOpen = nullptr;
  TLabel* lblHr = nullptr;
  TPageControl* pcViews = nullptr;
  TTabSheet* tsGridAll = nullptr;
  TTabSheet* tsViewActOut = nullptr;
  TTabSheet* tsHighBidder = nullptr;
  TTabSheet* tsActiveWaitingToBid = nullptr;
  TTabSheet* tsClosedLost = nullptr;
  TTabSheet* tsClosedWon = nullptr;
  TListView* lvShowAll = nullptr;
  TListView* lvActiveOutbid = nullptr;
  TListView* lvActiveHighBidder = nullptr;
  TListView* lvActiveWaitingToBid = nullptr;
  TListView* lvClosedLost = nullptr;
  TListView* lvClosedWon = nullptr;
  TGroupBox* gbNextBid = nullptr;
  TLabeledEdit* edtNBItemNum = nullptr;
  TLabeledEdit* edtNBTitle = nullptr;
  // Behind Panel3, never seen.
  TPanel* pnlBroOffset = nullptr;
  TCppWebBrowser* broOffset = nullptr;
  TMemo* DisplayMemo = nullptr;
  TMemo* DocumentMemo = nullptr;
  TEdit* URLEdit = nullptr;
  TButton* GetButton = nullptr;
  TListView* lvAllTdate = nullptr;

  // Budget Worksheet page: the workbook F1Book1 fills it.
  TF1Book* F1Book1 = nullptr;
  TGroupBox* gbHiddenNextBid = nullptr;
  TLabeledEdit* edtNBEnds = nullptr;
  TLabeledEdit* edtNBSnipeAmt = nullptr;
  TBitBtn* BitBtn2 = nullptr;

  // Manage Item Groups page.
  TListView* lvGroups = nullptr;
  TPopupMenu* pmGroupLV = nullptr;
  TMenuItem* DeleteGroup1 = nullptr;
  TGroupBox* gbAddGroup = nullptr;
  TLabeledEdit* edtGrpNote = nullptr;
  TLabeledEdit* edtGrpNme = nullptr;
  TLabeledEdit* edtGrpHowMany = nullptr;
  TButton* btnAddGrp = nullptr;
  TButton* btnChange = nullptr;

  // Preferences page.
  TLabeledEdit* edtEbayMember = nullptr;
  TLabeledEdit* edtEbayPass = nullptr;
  TLabeledEdit* edtRefreshInterval = nullptr;
  TLabeledEdit* edtSnipeOffset = nullptr;
  TCheckBox* cbSyncPeriodically = nullptr;
  TCheckBox* cbLogFile = nullptr;
  TButton* btnSavePrefs = nullptr;
  TGroupBox* gbDialUp = nullptr;
  TMemo* memDialUp = nullptr;

  // Item In Group page.
  TGroupBox* gbPlaceInGroup = nullptr;
  TLabeledEdit* edtNumTitle = nullptr;
  TMemo* MInstruct = nullptr;

  // Archive Data page.
  TGroupBox* gbSaveAll = nullptr;
  TBitBtn* BitBtn1 = nullptr;

  // Egg Timer and Alarm Clock pages.
  TGroupBox* gbEggTimer = nullptr;
  TButton* btnEggTmr = nullptr;
  TGroupBox* gbAlarm = nullptr;
  TButton* btnLauchAlrm = nullptr;

  // Browser page.
  TCppWebBrowser* bro = nullptr;
  TPanel* pnlBroNote = nullptr;

  // Help page.
  TButton* btnSpprtFrms = nullptr;
  TButton* btnPrgrmHlp = nullptr;
  TGroupBox* gbAbout = nullptr;
  TImage* Image1 = nullptr;
  TLabel* laVer = nullptr;
  TLabel* laAboutLine = nullptr;

  // Support Center page.
  TGroupBox* gbSupportCenter = nullptr;
  TLabel* lblSupportMail = nullptr;
  TBitBtn* BitBtn3 = nullptr;
  TBitBtn* BitBtn4 = nullptr;
  TBitBtn* btnEmail = nullptr;

  // The watch list's popup menu, in menu order.
  TPopupMenu* ShowAllPopupMenu = nullptr;
  TMenuItem* EditSnipeAmount1 = nullptr;
  TMenuItem* EnterQuanityToBidOn1 = nullptr;
  TMenuItem* N1 = nullptr;
  TMenuItem* Delete1 = nullptr;
  TMenuItem* DeleteAll1 = nullptr;
  TMenuItem* DeleteEnded1 = nullptr;
  TMenuItem* N2 = nullptr;
  TMenuItem* EditItemGroup1 = nullptr;
  TMenuItem* Setsnipeamounttozero1 = nullptr;
  TMenuItem* Refresh1 = nullptr;
  TMenuItem* LaunchSniper1 = nullptr;
  TMenuItem* ShowNextBid1 = nullptr;
  TMenuItem* Preferences1 = nullptr;
  TMenuItem* ViewInSystemBrowser1 = nullptr;
  TMenuItem* N3 = nullptr;
  TMenuItem* AddAllToWorksheet1 = nullptr;

  // Components without a page: the HTTP client of the start-up clock-offset fetch, and the
  // SMTP client that the layout carries and no operation calls.
  TPanel* pnlPleaseWait = nullptr;
  THttpCli* HttpCli1 = nullptr;
  TSyncSmtpCli* SyncSmtpCli1 = nullptr;
  TTimer* tmrDynaTimer = nullptr;
  // Bounds the start-up fetch of the official time.
  TTimer* startUpFetchTimer = nullptr;

  explicit TfrmMain(TComponent* Owner);
  ~TfrmMain() override;

  // Events of the form.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void appExceptionHandler(TObject* Sender, Exception* E);

  // The second start-up stage, run once by a successful start-up clock-offset fetch.
  void formShow2();

  // Trace log.
  void logLine(const AnsiString& line);
  void SetLogging(bool value);
  bool GetLogging();

  // Operations the start-up and the shutdown call.
  void calcTotals();
  void getOffsetHttp();

  // The clock offset: one blocking fetch of the official-time page at start-up, and browser
  // syncs through broOffset later.
  void GetButtonClick(TObject* Sender);
  void HttpCli1DocBegin(TObject* Sender);
  void HttpCli1DocEnd(TObject* Sender);
  void broOffsetDocumentComplete(TObject* Sender, const AnsiString& URL);
  void broOffsetLoadingPageJunction();
  void SetcurrBroOffsetAction(broAct value);
  broAct GetcurrBroOffsetAction();
  // Starts a browser sync (the command bar's hidden "Get Offset" button runs it).
  void startBrowserOffsetSync();
  void loadlvAllTdateGrid();
  void loadGroupsListView();
  void deleteTNWFiles();
  // Docking of the command bar (every resize and move of the main window).
  void FormResize(TObject* Sender);
  void MyMove(TWMMove& Message);

  // Launchers: the alarm clock and egg timer programs, the help file, the maker's support
  // forum and contact pages. Each asks the shell to open its target and ignores the result.
  void btnLauchAlrmClick(TObject* Sender);
  void btnEggTmrClick(TObject* Sender);
  void btnPrgrmHlpClick(TObject* Sender);
  void btnSpprtFrmsClick(TObject* Sender);
  void btnEmailClick(TObject* Sender);

  // Preferences.
  void btnSavePrefsClick(TObject* Sender);
  void Preferences1Click(TObject* Sender);
  void cbSyncPeriodicallyClick(TObject* Sender);
  void edtRefreshIntervalChange(TObject* Sender);
  void SetdoEbaySync(bool value);
  bool GetdoEbaySync();

  // The budget worksheet: a plan sheet built from the watch list.
  void AddAllToWorksheet1Click(TObject* Sender);
  void ClearCreateHeadingsInSS();

 public:
  void Dispatch(TMessage& Message) override;

 private:
  void buildLayout();
  void buildMainPage();
  void buildViewPages();
  void buildHiddenMainParts();
  void buildBudgetPage();
  void buildGroupsPage();
  void buildItemInGroupPage();
  void buildArchivePage();
  void buildLauncherPages();
  void buildBrowserPage();
  void buildPreferencesPage();
  void buildHelpPages();
  void buildPopupMenu();
  void buildHttpClient();
  void connectLauncherEvents();
  void buildSmtpClient();
  // Takes the offset read from the saved "offset.htm", deletes the file and lets the schedule
  // run again.
  void acceptOfficialTimePage(double offset);
  // The start-up fetch's Abort/Retry box: true for Retry; Abort closes the main window.
  bool askRetryOffset();
  // A browser sync that has not read a whole page within its bound gives up: true when it
  // did, keeping the last offset and letting the schedule run again.
  bool giveUpOffsetSync();

  broAct currBroAction = 0;
  broAct currBroOffsetAction = 0;
  panelStatus panStat = 0;
  bool doBrowserRetry = false;
  bool doEbaySync = false;
  bool doRefreshLVShowAll = false;
  bool doDispatchLaunchCheck = false;
  bool dynaWaiting = false;
  bool seekingRefreshData = false;
  bool doBrowserRetryOffset = false;
  bool logging = false;
  bool doRecalc = false;
  AnsiString currItem;
  double ebayTimeOffset = 0;
  AnsiString currURL;
  TDateTime ebaySyncDeadline = 0;
  TDateTime browserRetryDeadline = 0;
  TDateTime refreshDeadline = 0;
  TDateTime dispatchDeadline = 0;
  TDateTime offsetRetryDeadline = 0;
  // When the item page being added was last asked for, and how often it has been.
  TDateTime addRequested = 0;
  int addRequests = 0;
  // When the running browser sync began, and how many of its pages failed the test.
  TDateTime offsetSyncStarted = 0;
  int offsetSyncFailures = 0;
  std::unique_ptr<TStringList> logLines;
  AnsiString logFileName;
  TDateTime recalcDeadline = 0;
  // From the first show until the second stage has read "lvAllTdate.txt" and "groups.tnq":
  // neither file is written over from lists that do not hold it yet, what the user adds to
  // the two lists meanwhile joins what the files hold, and the schedule runs nothing but the
  // totals. The captions the two lists held when the first show began:
  bool startUpPending = false;
  std::vector<AnsiString> entriesBeforeStartUp;
  std::vector<AnsiString> groupsBeforeStartUp;

  // --- Watch list, end-time list and adding auctions -----------------------------------------
 public:
  // The end-time list's file and the immediate refresh request.
  void savelvAllTDateToText();
  void rebuildLVAllTdate();
  void BitBtn1Click(TObject* Sender);

  // Row edits of the watch list's popup menu.
  void EditSnipeAmount1Click(TObject* Sender);
  void Setsnipeamounttozero1Click(TObject* Sender);
  void EnterQuanityToBidOn1Click(TObject* Sender);
  void Delete1Click(TObject* Sender);
  void DeleteAll1Click(TObject* Sender);
  void DeleteEnded1Click(TObject* Sender);
  void ViewInSystemBrowser1Click(TObject* Sender);

  // The member id of the Preferences page, without the blanks around it.
  AnsiString memberId();

  // Adding an auction through the item page.
  void btnEnterItemNumClick(TObject* Sender);
  void SetcurrBroAction(broAct value);
  broAct GetcurrBroAction();
  void broDocumentComplete(TObject* Sender, const AnsiString& URL);
  void broDownloadComplete(TObject* Sender);
  void broLoadingPageJunction();
  bool checkFixedPriceFormat(TCppWebBrowser* bro);
  TListItem* addUpdateLVfromTNW(TListView* listview, AnsiString tnwfile);
  AnsiString getSIClosingTime(AnsiString itemNo, TStringList* tsl);

  // The item-page browser's schedule flags and the busy panel.
  void SetdoBrowserRetry(bool value);
  bool GetdoBrowserRetry();
  void SetdoRefreshLVShowAll(bool value);
  bool GetdoRefreshLVShowAll();
  void SetpanStat(panelStatus value);
  panelStatus GetpanStat();

 private:
  // Runs the save of a user's file. A failure is told in an error box (what, " not saved: ",
  // the reason) and the program goes on; false then.
  bool saveOrTell(const char* what, const std::function<void()>& save);
  // Writes "lvAllTdate.txt" after a dispatch status changed, so that no restart hands an
  // auction to the sniper again.
  void saveDispatchStatus();
  // "lvshowall.txt", with a failure told; false then.
  bool saveWatchList();
  // After rows were deleted: the watch list saved, or both files deleted once the list is
  // empty. True when the list was saved.
  bool saveWatchListAfterDeleting();
  // Sets the auction's end-time entry to end (made with status "1" when there is none, set to
  // "1" when its end was a state word, kept otherwise) and saves the end-time list.
  void setEndTimeEntry(const AnsiString& item, TDateTime end);
  // Sets a row's Ends cell to a state word. The word that first reports the auction won
  // lessens its group once, whichever road brings it: the lessened count and the won row are
  // saved at once, as one step that a restart finishes when a kill or a failed save cuts it
  // short.
  void setEndsState(TListItem* row, const AnsiString& state);
  // At start-up, once both lists are read: finishes the win that the win journal holds.
  void finishJournaledWin();
  // Connects the item-number button, the browser bro, the Save button and the row edits of
  // the popup menu to the handlers above.
  void connectWatchListEvents();
  // Shows the Main page and sends bro to the local blank page "dummy.htm"; without that page,
  // ends the add road at once.
  void requestBlankPage();
  // The end of the add road: the browser idle (retry lowered, busy panel hidden), the saved
  // copy of its page removed.
  void endAddRoad();
  // An add whose page has not been recognised within its bound gives up: true when it did,
  // after the road's end and a box naming the item.
  bool giveUpAdd(TDateTime now);
  // The road's end, the Main page shown, then text in an error box.
  void endAddRoadTelling(const AnsiString& text);
  // Saves the loaded page to fileName; a save that fails ends the road with a box that names
  // the item and the reason, and gives false.
  bool saveAddedPage(const AnsiString& fileName);

  // --- The 5-second schedule -----------------------------------------------------------------
 public:
  // OnTimer of tmrDynaTimer: walks the schedule flags and runs the work that has fallen due.
  void tmrDynaTimerTimer(TObject* Sender);

  void SetdoRecalc(bool value);
  bool GetdoRecalc();
  void SetdoBrowserRetryOffset(bool value);
  bool GetdoBrowserRetryOffset();
  void SetdoDispatchLaunchCheck(bool value);
  bool GetdoDispatchLaunchCheck();
  void SetseekingRefreshData(bool value);
  bool GetseekingRefreshData();
  void SetdynaWaiting(bool value);
  bool GetdynaWaiting();

  // Work the schedule runs, with the dispatch to the sniper and the refresh agent.
  void checkDispatchLauncher();
  void loadFreshGridData();
  void launchGridRefresher();

  // Dispatch to the sniper: writes "BID.TDL" and starts "tnsnip.exe".
  void launchSniperAndInstrFile(AnsiString iteNo, double snipeAmt, AnsiString currency,
                                TDateTime endTime, TDateTime timeToBid, AnsiString ebayID,
                                AnsiString ebayPass, AnsiString title, AnsiString qty);
  void LaunchSniper1Click(TObject* Sender);
  // Refresh requests: the countdown runs out at its next tick.
  void btnRefreshNowClick(TObject* Sender);
  void Refresh1Click(TObject* Sender);

 private:
  // The four schedule flags that a dispatch walk lowers while it runs and then puts back.
  struct DispatchWalkFlags {
    bool browserRetry;
    bool ebaySync;
    bool refreshLVShowAll;
    bool dispatchLaunchCheck;
  };
  // The common start of both dispatch walks: false for an empty watch list; else asks for an
  // end-time rebuild when entries are missing, saves and lowers the four flags and gives the
  // snipe offset in days and the reference time (eBay's current time plus that offset).
  bool beginDispatchWalk(DispatchWalkFlags& saved, double& offsetDays, TDateTime& reference);
  // Writes the saved values back without the setters, so no deadline is armed; the page retry
  // only while the add road still waits for a page.
  void endDispatchWalk(const DispatchWalkFlags& saved);
  // Hands the entry's auction to the sniper with the snipe amount; its dispatch status becomes
  // "0" and is saved at once. False, after an error box with the reason, when "BID.TDL" could
  // not be written or the sniper not started.
  bool dispatchTo(TListItem* entry, TListItem* row, TDateTime end, double offsetDays, double snipe);
  // The "Sniper not launched for auction N: " box with its reason; the check's version says
  // each reason once for each auction and run.
  void tellNotLaunched(const AnsiString& item, const AnsiString& reason);
  void tellNotLaunchedOnce(const AnsiString& item, const AnsiString& reason);
  // Tells of every watched auction with a snipe amount that has no end-time entry.
  void tellRowsWithoutEndTimeEntry();
  // What the check has told this run: item number (upper case) and reason.
  std::set<std::string> toldNotLaunched;
  // Sets a refreshed row's Ends cell from the agent's state word.
  void applyRefreshedState(TListItem* row, const AnsiString& state);
  // The rows as the last start of the agent handed them over, until its result is applied.
  HandedOverRows handedOver;
  // The refresh interval preference in whole seconds.
  int refreshIntervalSeconds();
  // Re-arms a schedule flag through its setter: lowered, then raised, it ends raised with a
  // fresh deadline.
  void rearm(void (TfrmMain::*setter)(bool));
  // The steps of one tick; "now" is read once at the tick's start.
  void tickTotals(TDateTime now);
  void tickOfficialTimeRetry(TDateTime now);
  void tickItemPageRetry(TDateTime now);
  void tickDispatchCheck(TDateTime now);
  void tickAgentResult();
  void tickRefreshCountdown(TDateTime now);
  void tickHourlySync(TDateTime now);

  // --- Item groups and cancel files ----------------------------------------------------------
 public:
  void saveGroupsLV();
  void btnAddGrpClick(TObject* Sender);
  void btnChangeClick(TObject* Sender);
  void DeleteGroup1Click(TObject* Sender);
  void lvGroupsClick(TObject* Sender);
  void edtGrpHowManyChange(TObject* Sender);
  void comGroupChange(TObject* Sender);
  void tsItemInGroupShow(TObject* Sender);
  void EditItemGroup1Click(TObject* Sender);
  // Lessens the group's count for a win and saves it; false when the save failed.
  bool decGroup(AnsiString groupToLessen);
  bool stlNdPrchseFrmGrp(AnsiString grp);
  int totalInGroup(AnsiString grpNm);
  void launchCancelSnipesText(AnsiString grmName);

 private:
  // Connects the group page's controls, comGroup, the Item In Group page and the menu item.
  void connectGroupEvents();
  // saveGroupsLV, with a failure told; false then.
  bool saveGroups();
  // The count the group has once one more of its auctions is won; empty when a win lessens no
  // count ("IND", no such group, a count that is no integer).
  AnsiString countAfterWin(const AnsiString& groupName);
  // Sets the group's count, when there is such a group.
  void setGroupCount(const AnsiString& groupName, const AnsiString& count);
  // At start-up: the cancel file of every group that wants no more wins, which shutdown
  // deleted, and none for a group that wants wins, which a kill may have left.
  void renewCancelFiles();
  // The group names this run has told cannot name a cancel file.
  std::set<std::string> toldUnfitCancelFileNames;

  // --- Views, sorting, next bid and totals ---------------------------------------------------
 public:
  void tsActiveOutbidShow(TObject* Sender);
  void tsActiveHighBidderShow(TObject* Sender);
  void tsActiveWaitingToBidShow(TObject* Sender);
  void tsClosedLostShow(TObject* Sender);
  void tsClosedWonShow(TObject* Sender);
  void lvShowAllColumnClick(TObject* Sender, TListColumn* Column);
  void lvShowAllCompare(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data,
                        int& Compare);
  void BitBtn2Click(TObject* Sender);
  void ShowNextBid1Click(TObject* Sender);
  // eBay's current time: the local time minus the clock offset.
  TDateTime ebayNow();

 private:
  // Whether a watch-list row shows in a view, given its end and eBay's current time.
  using ViewTest = std::function<bool(TListItem* row, TDateTime end, TDateTime ebayNow)>;
  void buildView(TListView* view, const ViewTest& shows);
  // The end of an auction's end-time entry (end untouched otherwise); false when it has none,
  // or one whose end does not read.
  bool auctionEnd(const AnsiString& itemNumber, TDateTime& end);
  void showNextBid();
  void connectViewEvents();
};

extern TfrmMain* frmMain;

// Program-wide flags: the first show's work happens once; the failure suffix is added once.
extern bool firstShow;
extern bool suffixAdded;
// The watch list's last clicked column; the totals' one request for an end-time rebuild.
extern int sortColumn;
extern bool canRebuildLVAllTdate;

// The support sentence that the failure road puts after the first failure's message.
inline constexpr const char* generalErrorSuffix =
    " A general error occured. Contact Holvex support.  Check you have the latest version of "
    "software.";
