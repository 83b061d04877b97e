// The launchers of the main window's pages, seen through the fake outside programs and the
// opener recorder: the exact target, no parameters, the working directory; the forum box
// before the forum page; nothing at all when the target cannot be opened.
#include "ScheduleFixture.h"
#include "portal/MakerDetails.h"

namespace {

class LaunchersTest : public ScheduleFixture {
 protected:
  void SetUp() override {
    ScheduleFixture::SetUp();
    frmMain->PageControl1->SetActivePage(frmMain->tsHelp);
    markLog();
  }
  // The files of the working directory but the trace log.
  QStringList workFiles() const {
    QStringList files = QDir(work_).entryList(QDir::Files);
    files.removeIf([](const QString& name) { return name.endsWith("logger.txt"); });
    return files;
  }
  // One line of the opener recorder: the working directory and the one target it was given.
  QByteArray openedLine(const char* target) const {
    return "\t" + work_.toUtf8() + "\t" + target + "\n";
  }
};

TEST_F(LaunchersTest, ProgramsStartFromTheWorkingDirectoryWithoutArguments) {
  tarnwick::tools::stageFakes(work_.toStdString());
  const struct {
    TButton* button;
    const char* log;
    const char* trace;
  } cases[] = {
      {frmMain->btnLauchAlrm, "wakebell.log", "TAG:btnLauchAlrmClick(TObject *Sender)"},
      {frmMain->btnEggTmr, "sandglass.log", "TAG:btnEggTmrClick(TObject *Sender)"},
  };
  for (const auto& entry : cases) {
    SCOPED_TRACE(entry.log);
    entry.button->Click();
    const QByteArray started = awaitLines(workPath(entry.log), 1);
    // <time> TAB <argument count> TAB <working dir>
    EXPECT_TRUE(started.endsWith("\t0\t" + work_.toUtf8() + "\n")) << started.constData();
    EXPECT_EQ(takeLog(), QStringList{entry.trace});
  }
  EXPECT_FALSE(QFile::exists(workPath("opener.log")));
  EXPECT_TRUE(boxes_.empty());
}

// Documents and addresses go to the desktop's opener, each target as it stands, alone. A
// program that is not there reaches nothing: the shell finds no such file.
TEST_F(LaunchersTest, HelpFileAndContactPageGoToTheOpenerAsTheyStandAndMissingProgramsNowhere) {
  writeFile(workPath("tarnwick.hlp"), "help");
  const struct {
    TButton* button;
    const char* target;
    QStringList trace;
  } cases[] = {
      {frmMain->btnPrgrmHlp, "tarnwick.hlp", {"TAG:btnPrgrmHlpClick(TObject *Sender)"}},
      {frmMain->BitBtn3, "tarnwick.hlp", {"TAG:btnPrgrmHlpClick(TObject *Sender)"}},
      {frmMain->btnEmail, contactPageUrl, {}},
  };
  int opened = 0;
  for (const auto& entry : cases) {
    SCOPED_TRACE(entry.button->Name().str());
    entry.button->Click();
    const QList<QByteArray> lines = awaitLines(workPath("opener.log"), ++opened).split('\n');
    ASSERT_GE(lines.size(), opened);
    EXPECT_TRUE((lines[opened - 1] + "\n").endsWith(openedLine(entry.target)))
        << lines[opened - 1].constData();
    EXPECT_EQ(takeLog(), entry.trace);
  }
  frmMain->btnLauchAlrm->Click();
  frmMain->btnEggTmr->Click();
  EXPECT_EQ(takeLog(), (QStringList{"TAG:btnLauchAlrmClick(TObject *Sender)",
                                    "TAG:btnEggTmrClick(TObject *Sender)"}));
  pumpUntil([] { return false; }, 200);
  EXPECT_EQ(readFile(workPath("opener.log")).count('\n'), opened);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(LaunchersTest, SupportForumsExplainTheAddressBeforeTheBrowserOpensIt) {
  for (TButton* button : {frmMain->btnSpprtFrms, static_cast<TButton*>(frmMain->BitBtn4)}) {
    SCOPED_TRACE(button->Name().str());
    QFile::remove(workPath("opener.log"));
    boxes_.clear();
    bool openedBeforeTheBox = true;
    SetDialogResponder([&](const DialogRequest& request) {
      boxes_.push_back(request);
      openedBeforeTheBox = QFile::exists(workPath("opener.log"));
      return DefaultDialogAnswer(request);
    });
    button->Click();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text.str(),
              std::string("Tarnwick will now launch your system browser.  If for some reason the "
                          "browser is not launched, navigate to \"") +
                  supportForumUrl +
                  "\".  Please note that the support forums are located within the " +
                  membersClubName + ".");
    EXPECT_EQ(boxes_[0].type, mtInformation);
    EXPECT_EQ(boxes_[0].buttons, std::vector<TMsgDlgBtn>{mbOK});
    EXPECT_FALSE(openedBeforeTheBox);
    EXPECT_TRUE(awaitLines(workPath("opener.log"), 1).endsWith(openedLine(supportForumUrl)));
    EXPECT_EQ(takeLog(), QStringList{"TAG:btnSpprtFrmsClick(TObject *Sender)"});
  }
}

TEST_F(LaunchersTest, AMissingProgramHelpFileOrBrowserShowsNothingAndChangesNothing) {
  setenv("TARNWICK_OPENER", workPath("no-such-opener").toLocal8Bit().constData(), 1);
  const QStringList before = workFiles();
  for (TButton* button : std::initializer_list<TButton*>{frmMain->btnLauchAlrm, frmMain->btnEggTmr,
                                                         frmMain->btnPrgrmHlp, frmMain->BitBtn3,
                                                         frmMain->btnEmail, frmMain->btnSpprtFrms})
    button->Click();
  pumpUntil([] { return false; }, 200);
  // Only the forum box, which comes before the attempt.
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(workFiles(), before);
  EXPECT_EQ(frmMain->PageControl1->ActivePage(), frmMain->tsHelp);
}

}  // namespace
