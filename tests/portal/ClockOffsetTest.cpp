// The clock offset against the practice auction site: the blocking start-up fetch of the
// official-time page (success, failed request, a reply without the page's end) and the browser
// sync through broOffset.
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

#include "PracticeSiteFixture.h"
#include "lib/IniFile.h"
#include "netcomp/HttpProt.h"
#include "scraping/SiteHosts.h"

namespace {

constexpr broAct syncing = 10;
constexpr broAct obtained = 11;
constexpr const char* timePage = "/aw-cgi/eBayISAPI.dll?TimeShow";

class ClockOffsetTest : public PracticeSiteFixture {
 protected:
  static void SetUpTestSuite() { startSite({"--offset", "60"}); }
  void SetUp() override {
    PracticeSiteFixture::SetUp();
    TIniFile("tarnwick.ini").WriteString("hosts", "time", site_->baseUrl().c_str());
    frmMain->URLEdit->SetText(officialTimePageUrl("TimeShow"));
    frmCommand->Hide();
    frmMain->SetdoEbaySync(false);
    frmMain->SetdoRecalc(false);
    frmMain->SetdoRefreshLVShowAll(false);
    frmMain->SetdoDispatchLaunchCheck(false);
    frmMain->SetdynaWaiting(true);
  }
  void TearDown() override {
    frmMain->broOffset->Stop();
    frmMain->SetcurrBroOffsetAction(obtained);
    frmMain->SetdoBrowserRetryOffset(false);
    frmMain->SetpanStat(0);
    frmCommand->Hide();
    MainWindowFixture::TearDown();
  }

  static void expectScheduleStarted() {
    EXPECT_FALSE(frmMain->GetdoBrowserRetryOffset());
    EXPECT_FALSE(frmMain->GetdynaWaiting());
    EXPECT_TRUE(frmMain->GetdoDispatchLaunchCheck());
    EXPECT_TRUE(frmMain->GetdoRefreshLVShowAll());
    EXPECT_TRUE(frmMain->GetdoEbaySync());
    EXPECT_TRUE(frmMain->GetdoRecalc());
    EXPECT_EQ(frmMain->GetpanStat(), 0);
    EXPECT_FALSE(frmMain->pnlPleaseWait->Visible());
    EXPECT_EQ(frmMain->GetcurrBroOffsetAction(), obtained);
  }
  std::vector<std::string> displayLines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < frmMain->DisplayMemo->Lines()->Count(); ++i)
      lines.push_back(frmMain->DisplayMemo->Lines()->Strings(i).str());
    return lines;
  }
};

TEST_F(ClockOffsetTest, StartUpFetchStartsTheScheduleAndTheSecondStageOnce) {
  frmMain->getOffsetHttp();
  EXPECT_EQ(site_->requestCount(timePage), 1);
  expectScheduleStarted();
  EXPECT_TRUE(frmCommand->Visible());
  EXPECT_FALSE(QFile::exists(workPath("offset.htm")));
  EXPECT_TRUE(frmMain->DocumentMemo->Text().Pos("Hawaii Time:") > 0);
  const std::vector<std::string> lines = displayLines();
  // The document lines come while the request runs, the status after it.
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "text/html => " + frmMain->HttpCli1->DocName().str());
  EXPECT_EQ(lines[1], "Document = " + frmMain->HttpCli1->DocName().str());
  EXPECT_EQ(lines[2], "StatusCode = 200");
  EXPECT_TRUE(boxes_.empty());
}

// A reply cut before the page's end asks Abort or Retry; Retry makes the attempt again.
TEST_F(ClockOffsetTest, ReplyWithoutThePageEndIsRetriedOnRequest) {
  site_->control("page=time&fault=truncate&count=1");
  answers_.push_back(DialogAnswer{mrRetry, ""});
  frmMain->getOffsetHttp();
  ASSERT_EQ(boxTexts(),
            std::vector<std::string>{"Error calculating eBay time offset.  Error # 1221-2358."});
  EXPECT_EQ(boxes_.front().type, mtError);
  EXPECT_EQ(boxes_.front().buttons, (std::vector<TMsgDlgBtn>{mbAbort, mbRetry}));
  EXPECT_EQ(site_->requestCount(timePage), 2);
  expectScheduleStarted();
  EXPECT_TRUE(frmCommand->Visible());
}

// The site's clock runs 60 seconds behind the local one: eBay's now as the portal reckons it.
double offsetSecondsRead() { return (Now() - frmMain->ebayNow()) / OneSecond; }

// A page that ends as it should but shows no time that reads (another layout or zone) gives no
// offset: it asks Abort or Retry as a cut page does, instead of starting with about zero.
TEST_F(ClockOffsetTest, StartUpPageWhoseOfficialTimeDoesNotReadIsRetriedOnRequest) {
  site_->control("page=time&fault=badtime&count=1");
  answers_.push_back(DialogAnswer{mrRetry, ""});
  frmMain->getOffsetHttp();
  ASSERT_EQ(boxTexts(),
            std::vector<std::string>{"Error calculating eBay time offset.  Error # 1221-2358."});
  EXPECT_EQ(site_->requestCount(timePage), 2);
  expectScheduleStarted();
  EXPECT_NEAR(offsetSecondsRead(), 60, 2);
}

// An hourly sync that meets such a page keeps the offset it had and lets the schedule run on.
TEST_F(ClockOffsetTest, BrowserSyncKeepsTheOffsetWhenThePageShowsNoTime) {
  frmMain->getOffsetHttp();
  ASSERT_NEAR(offsetSecondsRead(), 60, 2);
  frmCommand->Hide();
  site_->control("page=time&fault=badtime");
  frmMain->SetdynaWaiting(true);
  frmCommand->btnGetOffsetClick(frmCommand);
  ASSERT_TRUE(pumpUntil([] { return frmMain->GetcurrBroOffsetAction() == obtained; }));
  expectScheduleStarted();
  EXPECT_NEAR(offsetSecondsRead(), 60, 2);
  EXPECT_TRUE(boxes_.empty());
}

// A request that fails leaves its three lines and asks Abort or Retry, as a cut page does;
// nothing of the schedule starts until an attempt succeeds. Here the site comes back before
// the Retry. (Abort, which closes the main window, is tried on the real program.)
TEST_F(ClockOffsetTest, FailedRequestAsksAbortOrRetryAndStartsNothingUntilASuccess) {
  frmMain->URLEdit->SetText("http://127.0.0.1:1/aw-cgi/eBayISAPI.dll?TimeShow");
  std::vector<std::string> linesAtTheBox;
  bool scheduleAtTheBox = true;
  SetDialogResponder([&](const DialogRequest& request) {
    boxes_.push_back(request);
    linesAtTheBox = displayLines();
    scheduleAtTheBox = frmMain->GetdoEbaySync() || frmCommand->Visible();
    frmMain->URLEdit->SetText(officialTimePageUrl("TimeShow"));
    return DialogAnswer{mrRetry, ""};
  });
  frmMain->getOffsetHttp();
  ASSERT_EQ(boxTexts(),
            std::vector<std::string>{"Error calculating eBay time offset.  Error # 1221-2358."});
  EXPECT_EQ(boxes_.front().type, mtError);
  EXPECT_EQ(boxes_.front().buttons, (std::vector<TMsgDlgBtn>{mbAbort, mbRetry}));
  ASSERT_EQ(linesAtTheBox.size(), 3u);
  EXPECT_EQ(linesAtTheBox[0], "GET Failed !");
  EXPECT_EQ(linesAtTheBox[1].rfind("StatusCode   = ", 0), 0u) << linesAtTheBox[1];
  EXPECT_EQ(linesAtTheBox[2].rfind("ReasonPhrase = ", 0), 0u) << linesAtTheBox[2];
  EXPECT_FALSE(scheduleAtTheBox);
  EXPECT_EQ(site_->requestCount(timePage), 1);
  expectScheduleStarted();
  EXPECT_TRUE(frmCommand->Visible());
}

// A start-up fetch whose reply does not come whole within 60 seconds counts as failed: the
// Abort/Retry box comes, and Retry asks again. (The clock runs 30 times fast here.)
TEST_F(ClockOffsetTest, StartUpFetchWithoutAWholeReplyIn60SecondsAsksAbortOrRetry) {
  site_->control("page=time&fault=stall&count=1");
  const TDateTime start = Now();
  QElapsedTimer real;
  real.start();
  SetClock([&] { return start + real.elapsed() * 30.0 / 86400000.0; });
  std::vector<std::string> linesAtTheBox;
  qint64 atTheBox = 0;
  SetDialogResponder([&](const DialogRequest& request) {
    boxes_.push_back(request);
    linesAtTheBox = displayLines();
    atTheBox = real.elapsed();
    SetClock({});  // the offset the retry reads is the real one
    return DialogAnswer{mrRetry, ""};
  });
  frmMain->getOffsetHttp();
  ASSERT_EQ(boxTexts(),
            std::vector<std::string>{"Error calculating eBay time offset.  Error # 1221-2358."});
  EXPECT_GE(atTheBox * 30, 60000);
  EXPECT_LT(atTheBox, 10000);
  ASSERT_FALSE(linesAtTheBox.empty());
  EXPECT_EQ(linesAtTheBox[0], "GET Failed !");
  EXPECT_EQ(site_->requestCount(timePage), 2);
  expectScheduleStarted();
}

// A server that sends its page without end, as fast as it is taken, until the client goes (or,
// for a client that never does, 64 MiB later).
class EndlessPageServer {
 public:
  EndlessPageServer() {
    thread_.reset(QThread::create([this] { serve(); }));
    thread_->start();
    while (port_ == 0) QThread::msleep(5);
  }
  ~EndlessPageServer() {
    stop_ = true;
    thread_->wait();
  }
  std::string url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/aw-cgi/eBayISAPI.dll?TimeShow";
  }

 private:
  void serve() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    port_ = server.serverPort();
    if (!server.waitForNewConnection(10000)) return;
    std::unique_ptr<QTcpSocket> client(server.nextPendingConnection());
    client->waitForReadyRead(5000);
    client->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>");
    const QByteArray chunk(64 * 1024, 'x');
    for (int sent = 0; sent < 1024 && !stop_ && client->state() == QAbstractSocket::ConnectedState;
         ++sent) {
      client->write(chunk);
      client->waitForBytesWritten(1000);
    }
  }
  std::unique_ptr<QThread> thread_;
  std::atomic<int> port_{0};
  std::atomic<bool> stop_{false};
};

TEST_F(ClockOffsetTest, AReplyWithoutEndIsCutOffAndAsksAbortOrRetry) {
  EndlessPageServer endless;
  frmMain->URLEdit->SetText(endless.url().c_str());
  std::vector<std::string> linesAtTheBox;
  bool fileAtTheBox = true;
  SetDialogResponder([&](const DialogRequest& request) {
    boxes_.push_back(request);
    linesAtTheBox = displayLines();
    fileAtTheBox = QFile::exists(workPath("offsetreply.tmp"));
    frmMain->URLEdit->SetText(officialTimePageUrl("TimeShow"));
    return DialogAnswer{mrRetry, ""};
  });
  frmMain->getOffsetHttp();
  ASSERT_EQ(boxTexts(),
            std::vector<std::string>{"Error calculating eBay time offset.  Error # 1221-2358."});
  const std::string document = frmMain->HttpCli1->DocName().str();
  EXPECT_EQ(linesAtTheBox,
            (std::vector<std::string>{"text/html => " + document, "Document = " + document,
                                      "GET Failed !", "StatusCode   = 404",
                                      "ReasonPhrase = Connection aborted on request"}));
  EXPECT_FALSE(fileAtTheBox);  // the cut reply is not kept
  expectScheduleStarted();
}

// The body goes to a file of the portal's choosing, whatever the URL or a relocation names,
// and that file is gone afterwards: a relocation cannot overwrite the watch list or the agent.
TEST_F(ClockOffsetTest, RelocationCannotChooseTheFileTheReplyIsWrittenTo) {
  for (const char* victim : {"lvshowall.txt", "rerav.iru"}) {
    SCOPED_TRACE(victim);
    site_->control("page=time&fault=relocate&count=1&location=/x/" + std::string(victim));
    writeFile(workPath(victim), "precious\r\n");
    frmMain->getOffsetHttp();
    EXPECT_EQ(frmMain->HttpCli1->DocName().str(), victim);
    EXPECT_EQ(readFile(workPath(victim)), "precious\r\n");
    QStringList files = QDir(work_).entryList(QDir::Files | QDir::Hidden);
    files.removeIf([](const QString& name) { return name.endsWith("logger.txt"); });
    EXPECT_EQ(files, QStringList{victim});
    expectScheduleStarted();
    QFile::remove(workPath(victim));
    frmCommand->Hide();
  }
  EXPECT_TRUE(boxes_.empty());
}

// The user can work while the start-up fetch waits, before the end-time list and the groups are
// read: what is added then writes over neither file of the last session and joins them when
// they are read, and a request that would refresh (Launch Sniper on a row without its end
// time yet) starts nothing before the fetch has succeeded.
TEST_F(ClockOffsetTest, WorkDuringTheStartUpFetchKeepsTheLastSessionsListsAndStartsNothing) {
  tarnwick::tools::stageFakes(work_.toStdString());
  ASSERT_TRUE(
      QFile::copy(QStringLiteral(TARNWICK_FAKES_DIR) + "/sandglass.exe", workPath("rerav.iru")));
  writeFile(workPath("lvshowall.txt"),
            "101\r\n5.00\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nPAIR\r\n");
  const QByteArray entries = "101\r\n12/10/26 12:00:00\r\n0\r\n";
  const QByteArray groups = "IND\r\nalone\r\n1\r\nPAIR\r\none of two\r\n0\r\n";
  writeFile(workPath("lvAllTdate.txt"), entries);
  writeFile(workPath("groups.tnq"), groups);
  site_->control("page=time&delay=2000");
  frmMain->SetdynaWaiting(false);  // as at start-up
  frmMain->SetseekingRefreshData(false);
  QByteArray entriesDuring, groupsDuring;
  bool refreshDuring = true;
  QTimer::singleShot(300, [&] {
    frmMain->lvShowAll->SetSelected(findRowByCaption(frmMain->lvShowAll, "101"));
    frmMain->LaunchSniper1Click(nullptr);
    frmMain->tmrDynaTimerTimer(nullptr);
    frmMain->edtGrpNme->SetText("TRIO");
    frmMain->edtGrpNote->SetText("three");
    frmMain->edtGrpHowMany->SetText("3");
    frmMain->btnAddGrpClick(nullptr);
    // What adding auction 102 does to the end-time list.
    addRow(frmMain->lvAllTdate, {"102", "12/11/26 12:00:00", "1"});
    frmMain->savelvAllTDateToText();
    entriesDuring = readFile(workPath("lvAllTdate.txt"));
    groupsDuring = readFile(workPath("groups.tnq"));
    refreshDuring = frmMain->GetseekingRefreshData();
  });
  firstShow = true;
  frmMain->Show();
  frmMain->Hide();
  EXPECT_EQ(entriesDuring, entries);
  EXPECT_EQ(groupsDuring, groups);
  EXPECT_FALSE(refreshDuring);
  EXPECT_FALSE(QFile::exists(workPath("tnsnip.log")));
  EXPECT_FALSE(QFile::exists(workPath("rerav.iru.log")));
  expectScheduleStarted();
  EXPECT_EQ(readFile(workPath("lvAllTdate.txt")), entries + "102\r\n12/11/26 12:00:00\r\n1\r\n");
  EXPECT_EQ(readFile(workPath("groups.tnq")), groups + "TRIO\r\nthree\r\n3\r\n");
  EXPECT_EQ(captionsOf(frmMain->lvGroups), (std::vector<std::string>{"IND", "PAIR", "TRIO"}));
  EXPECT_EQ(frmMain->comGroup->Items()->Count(), 3);
  frmMain->lvShowAll->SetSelected(nullptr);
  frmMain->lvGroups->Items()->Clear();
  addRow(frmMain->lvGroups, {"IND", "Bids independently of orher auction results", "1"});
}

// A box raised while the start-up fetch waits (the user's own, or an add's) is one nobody may
// answer for hours: it comes once the fetch has ended, and the schedule starts meanwhile.
TEST_F(ClockOffsetTest, ABoxLeftOpenWhileTheStartUpFetchWaitsHoldsBackNoSchedule) {
  site_->control("page=time&delay=1500");
  frmMain->SetdynaWaiting(false);  // as at start-up
  bool shown = false, startedWhileOpen = false;
  SetDialogResponder([&](const DialogRequest& request) {
    boxes_.push_back(request);
    shown = true;
    pumpUntil([] { return frmMain->GetdoDispatchLaunchCheck(); }, 5000);  // left open
    startedWhileOpen = frmMain->GetdoDispatchLaunchCheck();
    return DefaultDialogAnswer(request);
  });
  QTimer::singleShot(300, [] { frmMain->Delete1Click(nullptr); });
  frmMain->getOffsetHttp();
  pumpUntil([&] { return shown; }, 5000);
  EXPECT_EQ(boxTexts(), std::vector<std::string>{"Highlight an auction item."});
  EXPECT_TRUE(startedWhileOpen);
  expectScheduleStarted();
}

TEST_F(ClockOffsetTest, BrowserSyncReadsThePageAndRestartsTheScheduleWithoutTheSecondStage) {
  frmCommand->btnGetOffsetClick(frmCommand);
  EXPECT_EQ(frmMain->GetcurrBroOffsetAction(), syncing);
  EXPECT_TRUE(frmMain->pnlPleaseWait->Visible());
  EXPECT_EQ(frmMain->pnlPleaseWait->Caption().str(), "Calculating Ebay Time Offset.+");
  ASSERT_TRUE(pumpUntil([] { return frmMain->GetcurrBroOffsetAction() == obtained; }));
  expectScheduleStarted();
  EXPECT_FALSE(frmCommand->Visible());
  EXPECT_FALSE(QFile::exists(workPath("offset.htm")));
}

// Each failed page test adds a "+" to the busy caption and asks for the page again, until a
// whole page arrives.
TEST_F(ClockOffsetTest, BrowserSyncKeepsAskingUntilAWholePageArrives) {
  site_->control("page=time&fault=truncate");
  frmCommand->btnGetOffsetClick(frmCommand);
  const std::string base = "Calculating Ebay Time Offset.";
  ASSERT_TRUE(
      pumpUntil([&] { return frmMain->pnlPleaseWait->Caption().str().size() >= base.size() + 3; }));
  const std::string caption = frmMain->pnlPleaseWait->Caption().str();
  EXPECT_EQ(caption.rfind(base, 0), 0u) << caption;
  EXPECT_EQ(caption.find_first_not_of('+', base.size()), std::string::npos) << caption;
  EXPECT_EQ(frmMain->GetcurrBroOffsetAction(), syncing);
  EXPECT_TRUE(frmMain->GetdoBrowserRetryOffset());
  EXPECT_TRUE(frmMain->GetdynaWaiting());
  EXPECT_TRUE(frmMain->pnlPleaseWait->Visible());

  site_->control("reset=all");
  ASSERT_TRUE(pumpUntil([] { return frmMain->GetcurrBroOffsetAction() == obtained; }));
  expectScheduleStarted();
}

// A sync whose page keeps coming cut gives up after ten failed pages: it keeps the offset it
// had, asks the site no more, and lets the schedule run again instead of holding back every
// snipe for as long as the page stays broken.
TEST_F(ClockOffsetTest, BrowserSyncGivesUpAfterTenCutPagesAndKeepsTheOffset) {
  frmMain->getOffsetHttp();
  ASSERT_NEAR(offsetSecondsRead(), 60, 2);
  frmCommand->Hide();
  site_->control("page=time&fault=truncate");
  constexpr const char* askedAgain = "/aw-cgi/eBayISAPI.dll?TimeShow&ssPageName=f:f:US";
  const int before = site_->requestCount(askedAgain);
  frmMain->SetdynaWaiting(true);
  frmCommand->btnGetOffsetClick(frmCommand);
  ASSERT_TRUE(pumpUntil([] { return frmMain->GetcurrBroOffsetAction() == obtained; }));
  expectScheduleStarted();
  EXPECT_NEAR(offsetSecondsRead(), 60, 2);
  // Each failed page but the last asked for the page again.
  const int asked = site_->requestCount(askedAgain);
  EXPECT_LE(asked - before, 9);
  for (int i = 0; i < 50; ++i) Application->ProcessMessages();
  QThread::msleep(200);
  for (int i = 0; i < 50; ++i) Application->ProcessMessages();
  EXPECT_EQ(site_->requestCount(askedAgain), asked);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ClockOffsetTest, PageCompletionOutsideASyncDoesNothing) {
  frmMain->SetcurrBroOffsetAction(obtained);
  const int before = site_->requestCount("/aw-cgi/eBayISAPI.dll?TimeShow&ssPageName=f:f:US");
  frmMain->broOffsetDocumentComplete(frmMain->broOffset, "about:blank");
  for (int i = 0; i < 50; ++i) Application->ProcessMessages();
  EXPECT_EQ(site_->requestCount("/aw-cgi/eBayISAPI.dll?TimeShow&ssPageName=f:f:US"), before);
  EXPECT_FALSE(frmMain->GetdoBrowserRetryOffset());
}

}  // namespace
