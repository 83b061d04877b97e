// The main window in-process: its layout, its first show, its second start-up stage, its
// shutdown and its preferences.
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QWidget>
#include <vector>

#include "MainWindowFixture.h"
#include "lib/IniFile.h"
#include "portal/MakerDetails.h"
#include "portal/VersionCaption.h"
#include "scraping/SiteHosts.h"
#include "smtp/SmtpProt.h"
#include "tools/testing/PracticeSite.h"

namespace {

class MainWindowTest : public MainWindowFixture {
 protected:
  // The run's trace log file in the working directory, by its name pattern.
  QString traceLogFile() const {
    const QStringList names = QDir(work_).entryList(QDir::Files);
    const QRegularExpression pattern("^\\d[\\d.E-]*logger\\.txt$");
    for (const QString& name : names)
      if (pattern.match(name).hasMatch()) return workPath(name);
    return {};
  }
};

std::vector<std::string> pageCaptions(TPageControl* pages) {
  std::vector<std::string> captions;
  for (int i = 0; i < pages->PageCount(); ++i) captions.push_back(pages->Pages(i)->Caption().str());
  return captions;
}

TEST_F(MainWindowTest, CaptionAndPagesAreInLayoutOrder) {
  EXPECT_EQ(frmMain->Caption().str(), "Tarnwick: Control Command Portal");
  EXPECT_EQ(frmMain->Width(), 593);
  EXPECT_EQ(frmMain->Height(), 440);
  EXPECT_EQ(pageCaptions(frmMain->PageControl1),
            (std::vector<std::string>{"Main", "Budget Worksheet", "Manage Item Groups",
                                      "Preferences", "Item In Group", "Archive Data", "Egg Timer",
                                      "Alarm Clock", "Browser", "Help", "Support Center"}));
  EXPECT_EQ(pageCaptions(frmMain->pcViews),
            (std::vector<std::string>{"Show All", "Active Outbid", "High Bidder", "Waiting To Bid",
                                      "Lost", "Won"}));
  EXPECT_EQ(frmMain->laVer->Caption().str(), "laVer");
  EXPECT_EQ(frmCommand->Caption().str(), "Command Bar");
}

TEST_F(MainWindowTest, TheSmtpClientCarriesItsStoredSettingsAndTheConfiguredAccountUnused) {
  TSyncSmtpCli* mail = frmMain->SyncSmtpCli1;
  ASSERT_NE(mail, nullptr);
  EXPECT_EQ(frmMain->FindComponent("SyncSmtpCli1"), mail);
  EXPECT_EQ(mail->GetShareMode(), smtpShareDenyWrite);
  EXPECT_EQ(mail->LocalAddr.str(), "0.0.0.0");
  EXPECT_EQ(mail->Port.str(), "smtp");
  EXPECT_EQ(mail->AuthType, smtpAuthNone);
  EXPECT_FALSE(mail->ConfirmReceipt);
  EXPECT_EQ(mail->HdrPriority, smtpPriorityNone);
  EXPECT_EQ(mail->CharSet.str(), "iso-8859-1");
  EXPECT_EQ(mail->GetContentType(), smtpPlainText);
  EXPECT_FALSE(mail->OwnHeaders);
  EXPECT_EQ(mail->Timeout, 15);
  EXPECT_FALSE(mail->MultiThreaded);
  // The account comes from the configuration the fixture wrote.
  EXPECT_EQ(mail->Host.str(), "127.0.0.1");
  EXPECT_EQ(mail->SignOn.str(), "portal.test");
  EXPECT_EQ(mail->Username.str(), "tarn");
  EXPECT_EQ(mail->Password.str(), "s3cret");
  EXPECT_EQ(mail->FromName.str(), "tarn@portal.test");
  EXPECT_EQ(mail->RcptName()->Text().str(), "buyer@peer.test\r\n");
  EXPECT_EQ(mail->HdrFrom.str(), "Tarn <tarn@portal.test>");
  EXPECT_EQ(mail->HdrTo.str(), "buyer@peer.test");
  EXPECT_EQ(mail->HdrSender.str(), "tarn@portal.test");
  // Nothing calls it.
  EXPECT_EQ(mail->State(), smtpReady);
  EXPECT_FALSE(mail->Connected());
}

TEST_F(MainWindowTest, EverySixViewsHasTheNineColumns) {
  const std::vector<std::string> expected = {"Item", "Snipe Amt", "Title",       "Current", "Bids",
                                             "Qty",  "Ends",      "\xA3 \xA5 $", "Group"};
  for (TListView* view :
       {frmMain->lvShowAll, frmMain->lvActiveOutbid, frmMain->lvActiveHighBidder,
        frmMain->lvActiveWaitingToBid, frmMain->lvClosedLost, frmMain->lvClosedWon}) {
    SCOPED_TRACE(view->Name().str());
    std::vector<std::string> captions;
    std::vector<int> widths;
    for (int i = 0; i < view->Columns()->Count(); ++i) {
      TListColumn* column = view->Columns()->Items(i);
      captions.push_back(column->Caption().str());
      widths.push_back(column->AutoSize() ? 0 : column->Width());
      EXPECT_EQ(column->Alignment(), i == 0 ? taLeftJustify : taCenter) << i;
    }
    EXPECT_EQ(captions, expected);
    // "Item" holds a twelve-digit item number, taken from "Title"; the last three size
    // themselves.
    EXPECT_EQ(widths, (std::vector<int>{84, 60, 121, 56, 35, 30, 0, 0, 0}));
    EXPECT_EQ(view->Hint().str(), "Right Click For More Options");
    EXPECT_TRUE(view->ReadOnly() && view->RowSelect() && view->GridLines());
  }
  EXPECT_EQ(frmMain->lvShowAll->PopupMenu(), frmMain->ShowAllPopupMenu);
  EXPECT_FALSE(frmMain->lvAllTdate->Visible());
  EXPECT_EQ(frmMain->lvAllTdate->Columns()->Count(), 3);
}

TEST_F(MainWindowTest, FixedTextsLabelsAndTheTotalsPanelAreTheLayouts) {
  EXPECT_EQ(frmMain->MInstruct->Text().str(),
            "No item selected. \r\n\r\nTo manage group membership: \r\n\r\n"
            "- Choose the Show All tab and select an item.  Then click this tab\r\n"
            "- Or right click an item and select Select Item Group.\r\n");
  const std::pair<TLabeledEdit*, const char*> labelled[] = {
      {frmMain->edtNumTitle, "Item Number and Title"},
      {frmMain->edtNBItemNum, "Item Number"},
      {frmMain->edtNBTitle, "Title"},
      {frmMain->edtNBEnds, "Ends"},
      {frmMain->edtNBSnipeAmt, "Snipe Amount"},
  };
  for (const auto& [edit, label] : labelled) EXPECT_EQ(edit->EditLabel()->Caption().str(), label);
  // The totals: bottom right of the Main page, the hour, the open and all from top to bottom,
  // right-aligned.
  EXPECT_GE(frmMain->Panel5->Left() + frmMain->Panel5->Width(), frmMain->pcViews->Width());
  EXPECT_GT(frmMain->Panel5->Top(), frmMain->pcViews->Top() + frmMain->pcViews->Height());
  EXPECT_LT(frmMain->lblHr->Top(), frmMain->lblOpen->Top());
  EXPECT_LT(frmMain->lblOpen->Top(), frmMain->lblTotal->Top());
  for (TLabel* total : {frmMain->lblHr, frmMain->lblOpen, frmMain->lblTotal})
    EXPECT_EQ(total->Alignment(), taRightJustify);
  // The group box lies under the views too.
  EXPECT_GT(frmMain->gbGroup->Top(), frmMain->pcViews->Top() + frmMain->pcViews->Height());
  // Notes wrap their words and show no scroll bar.
  for (TMemo* note : {frmMain->memDialUp, frmMain->MInstruct})
    EXPECT_TRUE(note->WordWrap() && note->ScrollBars() == ssNone) << note->Name().str();
  // The contact button carries a picture and no caption.
  EXPECT_TRUE(frmMain->btnEmail->Caption().IsEmpty());
  EXPECT_FALSE(frmMain->btnEmail->Glyph()->Image().isNull());
  // The busy panel paints its face over what lies beneath.
  EXPECT_TRUE(frmMain->pnlPleaseWait->Widget()->autoFillBackground());
}

// Whether the control lies on the holder, directly or inside what lies on it.
bool liesOn(const TControl* control, const TControl* holder) {
  for (const TControl* at = control->Parent(); at; at = at->Parent())
    if (at == holder) return true;
  return false;
}

TEST_F(MainWindowTest, BoxesAndButtonsCarryTheirCaptionsOnTheirPages) {
  const struct {
    TGroupBox* box;
    const char* caption;
    TTabSheet* page;
  } boxes[] = {
      {frmMain->gbEnterItem, "Enter Ebay Item Number", frmMain->tsShowAll},
      {frmMain->gbNextRefresh, "Next Refresh", frmMain->tsShowAll},
      {frmMain->gbGroup, "Group", frmMain->tsShowAll},
      {frmMain->gbNextBid, "Next Bid", frmMain->tsShowAll},
      {frmMain->gbHiddenNextBid, " Next Bid ", frmMain->tsBudgeWrksht},
      {frmMain->gbAddGroup, "Add Group", frmMain->tsManageItemGroups},
      {frmMain->gbDialUp, "Keeping Dial Up Connections ", frmMain->tsPreferences},
      {frmMain->gbPlaceInGroup, "Place Auction In Group", frmMain->tsItemInGroup},
      {frmMain->gbSaveAll, "Save All Items To Disk ", frmMain->tsArchiveData},
      {frmMain->gbEggTimer, " Launch Egg Timer ", frmMain->tsEggTimer},
      {frmMain->gbAlarm, " Launch Alarm Clock", frmMain->tsAlarm},
      {frmMain->gbAbout, "  About Tarnwick                         ", frmMain->tsHelp},
      {frmMain->gbSupportCenter, "Support Center", frmMain->tsSprtCntr},
  };
  for (const auto& entry : boxes) {
    EXPECT_EQ(entry.box->Caption().str(), entry.caption);
    EXPECT_TRUE(liesOn(entry.box, entry.page)) << entry.caption;
  }
  EXPECT_FALSE(frmMain->gbHiddenNextBid->Visible());

  // Each button in the box that holds it (or on its page where it has no box).
  const struct {
    TButton* button;
    const char* caption;
    TControl* holder;
  } buttons[] = {
      {frmMain->btnRefreshNow, "&Refresh Now", frmMain->gbNextRefresh},
      {frmMain->BitBtn2, "Find Next Bid", frmMain->gbHiddenNextBid},
      {frmMain->btnAddGrp, "Add", frmMain->gbAddGroup},
      {frmMain->btnChange, "&Change", frmMain->gbAddGroup},
      {frmMain->btnSavePrefs, "&Save", frmMain->tsPreferences},
      {frmMain->BitBtn1, "&Save", frmMain->gbSaveAll},
      {frmMain->btnEggTmr, "Launch Egg Timer", frmMain->gbEggTimer},
      {frmMain->btnLauchAlrm, "Launch Alarm Clock", frmMain->gbAlarm},
      {frmMain->btnSpprtFrms, "Support Forums", frmMain->tsHelp},
      {frmMain->btnPrgrmHlp, "&Program Help", frmMain->tsHelp},
      {frmMain->BitBtn3, "&Program Help", frmMain->gbSupportCenter},
      {frmMain->BitBtn4, "Support Forums", frmMain->gbSupportCenter},
      {frmMain->btnEmail, "", frmMain->gbSupportCenter},
      {frmMain->GetButton, "&Get", frmMain->pnlBroOffset},
  };
  for (const auto& entry : buttons) {
    SCOPED_TRACE(entry.button->Name().str());
    EXPECT_EQ(entry.button->Caption().str(), entry.caption);
    EXPECT_TRUE(liesOn(entry.button, entry.holder));
  }
  EXPECT_EQ(frmMain->lblSupportMail->Caption().str(), std::string("email:  ") + supportMailAddress);
  EXPECT_TRUE(liesOn(frmMain->lblSupportMail, frmMain->gbSupportCenter));
  EXPECT_EQ(frmMain->pnlBroNote->Caption().str(), "This Browser is For Program Use Only. ");

  // The group list: its three columns and its one-item menu.
  TListView* groups = frmMain->lvGroups;
  const struct {
    const char* caption;
    int width;
    TAlignment alignment;
  } columns[] = {
      {"Group", 65, taLeftJustify}, {"Note", 300, taCenter}, {"How Many", 150, taCenter}};
  ASSERT_EQ(groups->Columns()->Count(), 3);
  for (int i = 0; i < 3; ++i) {
    TListColumn* column = groups->Columns()->Items(i);
    EXPECT_EQ(column->Caption().str(), columns[i].caption);
    EXPECT_EQ(column->Width(), columns[i].width) << columns[i].caption;
    EXPECT_EQ(column->Alignment(), columns[i].alignment) << columns[i].caption;
  }
  EXPECT_TRUE(groups->ReadOnly() && groups->RowSelect() && groups->GridLines());
  EXPECT_EQ(groups->Hint().str(), "Right Click For More Options");
  ASSERT_EQ(groups->PopupMenu(), frmMain->pmGroupLV);
  ASSERT_EQ(frmMain->pmGroupLV->Items()->Count(), 1);
  EXPECT_EQ(frmMain->pmGroupLV->Items()->Items(0)->Caption().str(), "Delete Group");
  EXPECT_TRUE(liesOn(groups, frmMain->tsManageItemGroups));
}

TEST_F(MainWindowTest, PopupMenuItemsAndSeparatorsAreInOrder) {
  std::vector<std::string> captions;
  TMenuItem* root = frmMain->ShowAllPopupMenu->Items();
  for (int i = 0; i < root->Count(); ++i) captions.push_back(root->Items(i)->Caption().str());
  EXPECT_EQ(captions,
            (std::vector<std::string>{
                "Enter / Update Snipe Amount", "Enter Quanity To Bid On", "-", "Delete",
                "Delete All", "Delete Ended", "-", "Select Item Group", "Set Snipe Amount To Zero.",
                "Refresh", "Launch Sniper", "Show Next Bid", "Preferences",
                "View In System Browser", "-", "Create Plan Sheet From Grid"}));
}

TEST_F(MainWindowTest, ScreenshotOfTheMainWindowIsWrittenToTheBuildTree) {
  const QString file = QStringLiteral(PORTAL_SCREENSHOT_DIR) + "/frmMain.png";
  QFile::remove(file);
  const QPixmap shot = frmMain->Widget()->grab();
  ASSERT_TRUE(shot.save(file, "PNG"));
  const QImage image(file);
  EXPECT_EQ(image.width(), frmMain->Widget()->width());
  EXPECT_GT(image.height(), 300);
}

TEST_F(MainWindowTest, FirstShowLogsAndFetchesOnceAndItsSuccessShowsTheBar) {
  tarnwick::tools::PracticeSite site;
  TIniFile("tarnwick.ini").WriteString("hosts", "time", site.baseUrl().c_str());
  frmMain->URLEdit->SetText(officialTimePageUrl("TimeShow"));
  frmMain->Show();
  frmMain->Hide();
  frmMain->Show();
  const QString log = traceLogFile();
  ASSERT_FALSE(log.isEmpty());
  const QByteArray text = readFile(log);
  EXPECT_TRUE(
      text.contains("TAG:FormShow(TObject *Sender)\r\nTAG:BitBtn2Click(TObject *Sender)\r\n"
                    "TAG:TfrmMain::calcTotals()\r\nTAG:getOffsetHttp()\r\n"))
      << text.constData();
  EXPECT_TRUE(text.endsWith("TAG:FormShow(TObject *Sender)\r\n")) << text.constData();
  EXPECT_EQ(text.count("TAG:getOffsetHttp()"), 1);
  EXPECT_EQ(site.requestCount("/aw-cgi/eBayISAPI.dll?TimeShow"), 1);
  EXPECT_EQ(frmMain->PageControl1->ActivePage(), frmMain->tsShowAll);
  EXPECT_TRUE(frmCommand->Visible());
  frmMain->Hide();
  frmCommand->Hide();
  for (auto lower : {&TfrmMain::SetdoRecalc, &TfrmMain::SetdoDispatchLaunchCheck,
                     &TfrmMain::SetdoRefreshLVShowAll, &TfrmMain::SetdoEbaySync})
    (frmMain->*lower)(false);
}

TEST_F(MainWindowTest, SecondStageShowsTheBarAndTheVersionCaption) {
  frmMain->formShow2();
  EXPECT_TRUE(frmCommand->Visible());
  // The test program carries no version block; tarn11 carries 1.1.0.181.
  EXPECT_EQ(frmMain->laVer->Caption().str(), "Unknown version");
  EXPECT_FALSE(frmMain->laAboutLine->Caption().IsEmpty());
  EXPECT_EQ(versionCaptionOf(TARN11_PROGRAM).str(), "Version 1.1.0.181");
  frmCommand->Hide();
}

TEST_F(MainWindowTest, ShutdownRunsEveryStepWhenThePreferenceSaveFailsAndWarnsOnce) {
  // A Windows directory that cannot be made: the preference save throws.
  writeFile(workPath("plainfile"), "x");
  setenv("TARNWICK_WINDIR", workPath("plainfile/windows").toLocal8Bit().constData(), 1);
  for (const char* name : {"newgrid.lv", "item1.tnw", "BID.TDL", "cancGRP.TDL", "keep.txt"})
    writeFile(workPath(name), "x");
  TCloseAction action = caHide;
  frmMain->FormClose(frmMain, action);
  for (const char* name : {"newgrid.lv", "item1.tnw", "BID.TDL", "cancGRP.TDL"})
    EXPECT_FALSE(QFile::exists(workPath(name))) << name;
  EXPECT_TRUE(QFile::exists(workPath("keep.txt")));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.str(), "Error saving session data.  Click OK to continue.");
  EXPECT_EQ(boxes_[0].type, mtWarning);
  EXPECT_EQ(boxes_[0].buttons, std::vector<TMsgDlgBtn>{mbOK});
  // Logging ended with the shutdown: no line is logged after it.
  EXPECT_FALSE(frmMain->GetLogging());
}

// The Preferences page's Save tells a failure in a box and the portal goes on (it used to end
// the program through its failure road, losing the watch list's unsaved changes).
TEST_F(MainWindowTest, PreferencesSaveThatFailsIsToldAndThePortalGoesOn) {
  writeFile(workPath("plainfile"), "x");
  setenv("TARNWICK_WINDIR", workPath("plainfile/windows").toLocal8Bit().constData(), 1);
  EXPECT_NO_THROW(frmMain->btnSavePrefs->Click());
  ASSERT_EQ(boxTexts().size(), 1u);
  EXPECT_EQ(boxTexts()[0].rfind("Preferences not saved: ", 0), 0u) << boxTexts()[0];
  EXPECT_EQ(boxes_[0].type, mtError);
}

TEST_F(MainWindowTest, PreferencesRoundTripThroughTheIniFileWithTheirDefaults) {
  frmCommand->btnLdOptnsClick(frmCommand);
  EXPECT_EQ(frmMain->edtEbayMember->Text().str(), "");
  EXPECT_EQ(frmMain->edtRefreshInterval->Text().str(), "300");
  EXPECT_EQ(frmMain->edtSnipeOffset->Text().str(), "20");
  EXPECT_FALSE(frmMain->cbSyncPeriodically->Checked());
  frmMain->edtEbayPass->SetText("p\xE4ss word");
  frmMain->btnSavePrefsClick(frmMain);
  const QByteArray ini = readFile(windirPath("tarnwick.ini"));
  EXPECT_TRUE(ini.contains("[prefs]\r\n")) << ini.constData();
  for (const char* line :
       {"edtEbayMember=\r\n", "edtEbayPass=p\xE4ss word\r\n", "edtRefreshInterval=300\r\n",
        "edtSnipeOffset=20\r\n", "cbSyncPeriodically=0\r\n", "cbLogFile=0\r\n"})
    EXPECT_TRUE(ini.contains(line)) << line << " in " << ini.constData();
  EXPECT_TRUE(boxes_.empty());
}

// The member id is read and saved without the blanks around it, which are no part of an eBay
// user id.
TEST_F(MainWindowTest, MemberIdIsReadAndSavedWithoutBlanksAroundIt) {
  writeFile(windirPath("tarnwick.ini"), "[prefs]\r\nedtEbayMember=\t BUYER7  \r\n");
  frmCommand->btnLdOptnsClick(frmCommand);
  EXPECT_EQ(frmMain->edtEbayMember->Text().str(), "BUYER7");
  frmMain->edtEbayMember->SetText(" buyer7 ");
  EXPECT_EQ(frmMain->memberId().str(), "buyer7");
  frmMain->btnSavePrefsClick(frmMain);
  EXPECT_TRUE(readFile(windirPath("tarnwick.ini")).contains("edtEbayMember=buyer7\r\n"));
}

TEST_F(MainWindowTest, StoredHourlySyncRaisesItsFlagAndABadIntervalIsReported) {
  writeFile(windirPath("tarnwick.ini"),
            "[prefs]\r\nedtRefreshInterval=fast\r\ncbSyncPeriodically=1\r\ncbLogFile=0\r\n");
  frmCommand->btnLdOptnsClick(frmCommand);
  EXPECT_TRUE(frmMain->GetdoEbaySync());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text.str(), "Value is not numeric.");
  EXPECT_EQ(boxes_[0].type, mtError);
  frmMain->edtRefreshInterval->SetText("");
  EXPECT_EQ(boxes_.size(), 2u);
  // Either box sets the flag to the hourly-sync box's state.
  frmMain->cbLogFile->SetChecked(true);
  EXPECT_TRUE(frmMain->GetdoEbaySync());
  frmMain->cbSyncPeriodically->SetChecked(false);
  EXPECT_FALSE(frmMain->GetdoEbaySync());
  frmMain->edtRefreshInterval->SetText("300");
}

}  // namespace
