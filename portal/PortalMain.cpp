#include "portal/PortalMain.h"

#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/ErrorLog.h"
#include "portal/LeftTemporaries.h"
#include "portal/Unit1.h"
#include "scraping/WorkFiles.h"
#include "win32/com.h"
#include "win32/file_lock.h"

namespace {

// The working folder's lock: one portal at a time works on the files of a folder.
constexpr const char* folderLockFileName = "tarn11.lock";
constexpr const char* anotherPortalRunning =
    "Tarnwick is already running in this folder. Use the window that is open, or close it "
    "before starting Tarnwick again.";

}  // namespace

void portalStartUp() {
  OleInitialize(nullptr);
  FormatSettings().ShortDateFormat = "mm/dd/yy";
  FormatSettings().LongTimeFormat = "hh:mm:ss";
  DeleteFile(refreshedGridFileName);
  frmCommand->btnLdOptnsClick(frmCommand);
  frmMain->SetLogging(frmMain->cbLogFile->Checked());
  frmMain->Show();
}

int runPortal(const std::function<void()>& beforeLoop) {
  // Held until the program ends, past the failure road's "errlog.txt". A second portal in the
  // folder says so and ends before it reads or writes any file of it. A folder where no lock
  // can be made (read-only, or a file system without locks) is worked in as before, except that
  // the temporaries left there are not removed: another portal might be saving them.
  const ExclusiveFileLock folderLock(folderLockFileName);
  try {
    Application->Initialize();
    Application->SetTitle("TARNWICK");
    Application->SetHelpFile("TARNWICK.HLP");
    if (folderLock.state() == ExclusiveFileLock::State::HeldElsewhere) {
      MessageDlg(anotherPortalRunning, mtWarning, {mbOK});
    } else {
      if (folderLock.state() == ExclusiveFileLock::State::Held) removeLeftTemporaries();
      Application->CreateForm(frmMain);
      Application->CreateForm(frmCommand);
      portalStartUp();
      Application->SetShowMainForm(false);
      if (beforeLoop) beforeLoop();
      Application->Run();
    }
  } catch (Exception& E) {
    writeErrorLog(E.Message());
    Application->ShowException(&E);
  } catch (...) {
    Exception E("");
    writeErrorLog(E.Message());
    Application->ShowException(&E);
  }
  Application->Finalize();
  frmMain = nullptr;
  frmCommand = nullptr;
  OleUninitialize();
  return 0;
}

int WinMain() { return runPortal({}); }
