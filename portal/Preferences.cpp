// The user's settings: kept in the controls of the Preferences page while the program runs,
// and in the section "prefs" of "tarnwick.ini" (opened by bare name: the Windows directory).
#include "forms/Dialogs.h"
#include "lib/IniFile.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"
#include "scraping/EbayScraper.h"

namespace {
constexpr const char* prefsFile = "tarnwick.ini";
constexpr const char* prefsSection = "prefs";
}  // namespace

void TfrmCommand::btnLdOptnsClick(TObject* Sender) {
  (void)Sender;
  const TIniFile ini(prefsFile);
  // Each value goes into its control at once, so the controls' own events run in this order.
  // The member id is an eBay user id: blanks around it are no part of it.
  frmMain->edtEbayMember->SetText(
      ebayScraper.memberIdOf(ini.ReadString(prefsSection, "edtEbayMember", "")));
  frmMain->edtEbayPass->SetText(ini.ReadString(prefsSection, "edtEbayPass", ""));
  frmMain->edtRefreshInterval->SetText(ini.ReadString(prefsSection, "edtRefreshInterval", "300"));
  frmMain->edtSnipeOffset->SetText(ini.ReadString(prefsSection, "edtSnipeOffset", "20"));
  frmMain->cbSyncPeriodically->SetChecked(ini.ReadBool(prefsSection, "cbSyncPeriodically", false));
  frmMain->cbLogFile->SetChecked(ini.ReadBool(prefsSection, "cbLogFile", false));
}

void TfrmCommand::btnSvOptnsClick(TObject* Sender) {
  (void)Sender;
  TIniFile ini(prefsFile);
  ini.WriteString(prefsSection, "edtEbayMember", frmMain->memberId());
  ini.WriteString(prefsSection, "edtEbayPass", frmMain->edtEbayPass->Text());
  ini.WriteString(prefsSection, "edtRefreshInterval", frmMain->edtRefreshInterval->Text());
  ini.WriteString(prefsSection, "edtSnipeOffset", frmMain->edtSnipeOffset->Text());
  ini.WriteBool(prefsSection, "cbSyncPeriodically", frmMain->cbSyncPeriodically->Checked());
  ini.WriteBool(prefsSection, "cbLogFile", frmMain->cbLogFile->Checked());
}

// A save that fails is told and the portal goes on, as the Archive page's Save does; the
// failure must not end the program, which would lose the watch list's unsaved changes.
void TfrmMain::btnSavePrefsClick(TObject* Sender) {
  logLine("TAG:btnSavePrefsClick(TObject *Sender)");
  saveOrTell("Preferences", [&] { frmCommand->btnSvOptnsClick(Sender); });
}

void TfrmMain::Preferences1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:Preferences1Click(TObject *Sender)");
  PageControl1->SetActivePage(tsPreferences);
}

void TfrmMain::cbSyncPeriodicallyClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:cbSyncPeriodicallyClick(TObject *Sender)");
  SetdoEbaySync(cbSyncPeriodically->Checked());
}

void TfrmMain::edtRefreshIntervalChange(TObject* Sender) {
  (void)Sender;
  logLine("TAG:edtRefreshIntervalChange(TObject *Sender)");
  if (!ebayScraper.isNumericText(edtRefreshInterval->Text()))
    MessageDlg("Value is not numeric.", mtError, {mbOK});
}
