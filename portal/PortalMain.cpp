#include "portal/PortalMain.h"

#include "forms/Application.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/ErrorLog.h"
#include "portal/Unit1.h"
#include "scraping/WorkFiles.h"
#include "win32/com.h"

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
  try {
    Application->Initialize();
    Application->SetTitle("TARNWICK");
    Application->SetHelpFile("TARNWICK.HLP");
    Application->CreateForm(frmMain);
    Application->CreateForm(frmCommand);
    portalStartUp();
    Application->SetShowMainForm(false);
    if (beforeLoop) beforeLoop();
    Application->Run();
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
