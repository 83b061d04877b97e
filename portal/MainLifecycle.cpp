// The main window's life: construction, the first show and its second stage, shutdown and the
// message map.
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/MakerDetails.h"
#include "portal/TraceLog.h"
#include "portal/Unit1.h"
#include "portal/VersionCaption.h"
#include "portal/WatchListRows.h"
#include "portal/WinJournal.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"
#include "win32/com.h"

TfrmMain* frmMain = nullptr;
bool firstShow = true;

TfrmMain::TfrmMain(TComponent* Owner) : TForm(Owner) {
  buildLayout();
  CoInitialize(nullptr);
  SetLogging(true);
  logLines = std::make_unique<TStringList>();
  logFileName = traceLogFileName(Time());

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  btnSavePrefs->OnClick = [this](TObject* Sender) { btnSavePrefsClick(Sender); };
  Preferences1->OnClick = [this](TObject* Sender) { Preferences1Click(Sender); };
  cbSyncPeriodically->OnClick = [this](TObject* Sender) { cbSyncPeriodicallyClick(Sender); };
  cbLogFile->OnClick = [this](TObject* Sender) { cbSyncPeriodicallyClick(Sender); };
  edtRefreshInterval->OnChange = [this](TObject* Sender) { edtRefreshIntervalChange(Sender); };
  AddAllToWorksheet1->OnClick = [this](TObject* Sender) { AddAllToWorksheet1Click(Sender); };
  connectWatchListEvents();
  connectGroupEvents();
  connectViewEvents();
  connectLauncherEvents();
  tmrDynaTimer->OnTimer = [this](TObject* Sender) { tmrDynaTimerTimer(Sender); };
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate(TObject* Sender) {
  (void)Sender;
  logLine("TAG:FormCreate(TObject *Sender)");
  Application->OnException = [this](TObject* sender, Exception* E) {
    appExceptionHandler(sender, E);
  };
}

void TfrmMain::FormShow(TObject* Sender) {
  logLine("TAG:FormShow(TObject *Sender)");
  if (!firstShow) return;
  firstShow = false;
  PageControl1->SetActivePage(tsShowAll);
  frmCommand->btnLoadLVShowAllClick(Sender);
  calcTotals();
  // The user can work while the fetch waits, before the end-time list and the groups are read.
  startUpPending = true;
  entriesBeforeStartUp = rowCaptions(lvAllTdate);
  groupsBeforeStartUp = rowCaptions(lvGroups);
  getOffsetHttp();
}

void TfrmMain::formShow2() {
  logLine("TAG:formShow2()");
  frmCommand->Show();
  // End-time entries and groups added while the start-up fetch waited join the files' own,
  // which keep theirs where both have one (a dispatched status above all).
  const bool joinEarlyRows = startUpPending;
  std::vector<RowRecord> earlyEntries, earlyGroups;
  if (joinEarlyRows) {
    earlyEntries = rowsNotCaptioned(lvAllTdate, entriesBeforeStartUp);
    earlyGroups = rowsNotCaptioned(lvGroups, groupsBeforeStartUp);
  }
  loadlvAllTdateGrid();
  loadGroupsListView();
  startUpPending = false;
  if (joinEarlyRows && addMissingRows(lvAllTdate, earlyEntries)) saveDispatchStatus();
  if (joinEarlyRows && addMissingRows(lvGroups, earlyGroups)) {
    saveGroups();
    ebayScraper.fillListFromLVCaptions(comGroup, lvGroups);
  }
  finishJournaledWin();
  renewCancelFiles();
  laVer->SetCaption(runningProgramVersionCaption());
  laAboutLine->SetCaption(aboutTextLine);
}

void TfrmMain::FormClose(TObject* Sender, TCloseAction& Action) {
  (void)Action;
  logLine("TAG:FormClose(TObject *Sender, TCloseAction &Action)");
  // Every step runs even when an earlier one fails: a failed preference save must not cost
  // the watch list. One warning tells of any failure.
  bool failed = false;
  const auto step = [&failed](auto&& work) {
    try {
      work();
    } catch (...) {
      failed = true;
    }
  };
  step([&] { frmCommand->btnSvOptnsClick(Sender); });
  step([] {
    if (FileExists(refreshedGridFileName)) DeleteFile(refreshedGridFileName);
  });
  step([this] { deleteTNWFiles(); });
  step([this] {
    if (!logging) return;
    logLines.reset();
    SetLogging(false);
  });
  step([] { ebayScraper.deleteFilesByExt(".TDL"); });
  step([&] { frmCommand->btnSaveLVShowAllClick(Sender); });
  // A win's journal still there says that a save of the win failed in this run. When it was
  // the group list's, the row above has now reached the disk won, and the next start would take
  // the journal for an old one: the lessened count is saved here too.
  step([this] {
    if (FileExists(winJournalFileName)) saveGroupsLV();
  });
  if (failed) MessageDlg("Error saving session data.  Click OK to continue.", mtWarning, {mbOK});
}

void TfrmMain::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_MOVE) {
    TWMMove move(Message);
    MyMove(move);
  } else {
    TForm::Dispatch(Message);
  }
}
