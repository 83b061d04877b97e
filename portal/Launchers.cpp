// The launchers of the main window's pages. Each asks the shell to "open" a relative target
// (found from the working directory) with no parameters and no directory, and ignores the
// result: a missing program, help file or browser shows nothing and changes nothing.
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "forms/Layout.h"
#include "portal/MakerDetails.h"
#include "portal/Unit1.h"
#include "win32/shell.h"

namespace {

void open(HWND owner, const AnsiString& target, int showCommand) {
  ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, showCommand);
}

}  // namespace

void TfrmMain::btnLauchAlrmClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnLauchAlrmClick(TObject *Sender)");
  open(nullptr, "wakebell.exe", SW_SHOWNORMAL);
}

void TfrmMain::btnEggTmrClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnEggTmrClick(TObject *Sender)");
  open(nullptr, "sandglass.exe", SW_SHOWNORMAL);
}

void TfrmMain::btnPrgrmHlpClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnPrgrmHlpClick(TObject *Sender)");
  open(Application->Handle(), "tarnwick.hlp", SW_SHOWDEFAULT);
}

void TfrmMain::btnSpprtFrmsClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnSpprtFrmsClick(TObject *Sender)");
  MessageDlg(AnsiString("Tarnwick will now launch your system browser.  If for some reason the "
                        "browser is not launched, navigate to \"") +
                 supportForumUrl +
                 "\".  Please note that the support forums are located within the " +
                 membersClubName + ".",
             mtInformation, {mbOK});
  open(nullptr, supportForumUrl, SW_SHOWNORMAL);
}

void TfrmMain::btnEmailClick(TObject* Sender) {
  (void)Sender;
  open(nullptr, contactPageUrl, SW_SHOWNORMAL);
}

void TfrmMain::connectLauncherEvents() {
  const auto on = [this](void (TfrmMain::*handler)(TObject*)) { return handlerOf(this, handler); };
  btnLauchAlrm->OnClick = on(&TfrmMain::btnLauchAlrmClick);
  btnEggTmr->OnClick = on(&TfrmMain::btnEggTmrClick);
  btnPrgrmHlp->OnClick = on(&TfrmMain::btnPrgrmHlpClick);
  BitBtn3->OnClick = on(&TfrmMain::btnPrgrmHlpClick);
  btnSpprtFrms->OnClick = on(&TfrmMain::btnSpprtFrmsClick);
  BitBtn4->OnClick = on(&TfrmMain::btnSpprtFrmsClick);
  btnEmail->OnClick = on(&TfrmMain::btnEmailClick);
}
