// The real tarn11 (and a build of it with a failing handler) as processes: offscreen, in a
// temporary working directory, with every dialog logged.
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <functional>

#include "PortalProcessFixture.h"
#include "lib/DateTime.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "tools/testing/PracticeSite.h"

namespace {

constexpr const char* supportSentence =
    " A general error occured. Contact Holvex support.  Check you have the latest version of "
    "software.";

class PortalProcessTest : public PortalProcessFixture {};

TEST_F(PortalProcessTest, StartUpWithTheLogPreferenceWritesTheTraceLogAndDeletesStaleGrid) {
  tarnwick::tools::PracticeSite site;
  writeFile(windirPath("tarnwick.ini"), QByteArray("[hosts]\r\ntime=") + site.baseUrl().c_str() +
                                            "\r\n[prefs]\r\ncbLogFile=1\r\n");
  writeFile(workPath("newgrid.lv"), "stale");
  QProcess portal;
  start(portal, TARN11_PROGRAM);
  QElapsedTimer clock;
  clock.start();
  QByteArray text;
  while (clock.elapsed() < 15000 && !text.contains("TAG:getOffsetHttp()")) {
    QThread::msleep(100);
    const QString log = traceLogFile();
    if (!log.isEmpty()) text = readFile(log);
  }
  portal.kill();
  portal.waitForFinished(5000);
  EXPECT_TRUE(
      text.contains("TAG:FormShow(TObject *Sender)\r\nTAG:BitBtn2Click(TObject *Sender)\r\n"
                    "TAG:TfrmMain::calcTotals()\r\n"
                    "TAG:getOffsetHttp()\r\n"))
      << text.constData();
  EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));
  EXPECT_TRUE(QFile::exists(QStringLiteral(TARN11_DIR) + "/dummy.htm"));
  EXPECT_TRUE(readFile(QStringLiteral(TARN11_DIR) + "/dummy.htm").contains("blank"));
}

TEST_F(PortalProcessTest, HandlerFailureEndsThePortalAfterOneBoxAndRewritesErrlog) {
  writeFile(workPath("errlog.txt"), "old line\r\nolder line\r\n");
  writeFile(workPath("keep.tnw"), "page");
  writeFile(workPath("BID.TDL"), "instructions");
  tarnwick::tools::PracticeSite site;
  writeFile(windirPath("tarnwick.ini"),
            QByteArray("[hosts]\r\ntime=") + site.baseUrl().c_str() + "\r\n");
  QProcess portal;
  start(portal, THROWING_PORTAL_PROGRAM, {"Handler failed."});
  ASSERT_TRUE(portal.waitForFinished(20000));
  EXPECT_EQ(portal.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(portal.exitCode(), 0);

  const QStringList boxes = dialogLines();
  ASSERT_EQ(boxes.size(), 1) << boxes.join('\n').toStdString();
  const QStringList fields = boxes[0].split('|');
  ASSERT_GE(fields.size(), 5);
  EXPECT_EQ(fields[0], "exception");
  EXPECT_EQ(fields[4], QString("Handler failed.") + supportSentence);

  EXPECT_EQ(readFile(workPath("errlog.txt")),
            QByteArray("Handler failed.") + supportSentence + "\r\n");
  // The shutdown did not run: its page-file and instruction-file deletions did not happen, and
  // the preferences were not saved.
  EXPECT_TRUE(QFile::exists(workPath("keep.tnw")));
  EXPECT_TRUE(QFile::exists(workPath("BID.TDL")));
  EXPECT_FALSE(readFile(windirPath("tarnwick.ini")).contains("[prefs]"));
}

// A start-up fetch whose request fails asks Abort or Retry: Retry asks the site again, Abort
// closes the portal through its shutdown (the preferences and the watch list are saved).
TEST_F(PortalProcessTest, FailedStartUpFetchAsksAbortOrRetryAndAbortEndsThePortal) {
  writeFile(workPath("lvshowall.txt"), "7\r\n0.00\r\nT\r\n1\r\n1\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
  QProcess portal;
  start(portal, TARN11_PROGRAM, {}, "Error calculating => Retry\nError calculating => Abort\n");
  ASSERT_TRUE(portal.waitForFinished(30000));
  const QStringList boxes = dialogLines();
  ASSERT_EQ(boxes.size(), 2) << boxes.join('\n').toStdString();
  for (const QString& box : boxes) {
    const QStringList fields = box.split('|');
    ASSERT_GE(fields.size(), 7);
    EXPECT_EQ(fields[2], "Abort,Retry");
    EXPECT_EQ(fields[4], "Error calculating eBay time offset.  Error # 1221-2358.");
  }
  EXPECT_TRUE(boxes[0].endsWith("|Retry"));
  EXPECT_TRUE(boxes[1].endsWith("|Abort"));
  EXPECT_TRUE(readFile(windirPath("tarnwick.ini")).contains("[prefs]"));
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).startsWith("7\r\n0.00\r\n"));
}

// Nothing runs in the background before the first clock offset: while the start-up fetch
// waits (the ticks run inside it), the auctions loaded without end times ask for no refresh
// and start no agent. (The trace log shows it: whether an agent would actually start also
// depends on other agents of the user.)
TEST_F(PortalProcessTest, NoAgentStartsWhileTheStartUpFetchWaits) {
  tarnwick::tools::PracticeSite site;
  site.control("page=time&delay=11000");
  writeFile(windirPath("tarnwick.ini"), QByteArray("[hosts]\r\ntime=") + site.baseUrl().c_str() +
                                            "\r\n[prefs]\r\ncbLogFile=1\r\n");
  writeFile(workPath("lvshowall.txt"), "7\r\n0.00\r\nT\r\n1\r\n1\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
  ASSERT_TRUE(
      QFile::copy(QStringLiteral(TARNWICK_FAKES_DIR) + "/sandglass.exe", workPath("rerav.iru")));
  QProcess portal;
  start(portal, TARN11_PROGRAM);
  EXPECT_TRUE(
      waitFor([&] { return site.requestCount("/aw-cgi/eBayISAPI.dll?TimeShow") == 1; }, 10000));
  // Two ticks or more run inside the fetch; then it succeeds.
  EXPECT_TRUE(waitFor([&] { return readFile(traceLogFile()).contains("TAG:formShow2()"); }, 15000));
  const QByteArray log = readFile(traceLogFile());
  portal.kill();
  portal.waitForFinished(5000);
  EXPECT_GE(log.count("TAG:tmrDynaTimerTimer(TObject *Sender)"), 2);
  EXPECT_FALSE(log.contains("TAG:rebuildLVAllTdate()"));
  EXPECT_FALSE(log.contains("TAG:launchGridRefresher()"));
  EXPECT_FALSE(QFile::exists(workPath("rerav.iru.log")));
}

// The installed copy: the agent lies beside the portal under the name the portal starts, with
// the blank page; the installed portal, working in its folder, starts it, and the agent
// refreshes the watch list from the site.
TEST_F(PortalProcessTest, InstalledPortalStartsTheInstalledAgent) {
  const QString prefix = root_.path() + "/install";
  QProcess install;
  install.start(TARNWICK_CMAKE, {"--install", TARNWICK_BUILD_DIR, "--prefix", prefix});
  ASSERT_TRUE(install.waitForFinished(120000));
  ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().constData();
  runDir_ = prefix + "/tarnwick";
  EXPECT_TRUE(QFileInfo(runDir_ + "/tarn11").isExecutable());
  EXPECT_TRUE(QFileInfo(runDir_ + "/rerav.iru").isExecutable());
  EXPECT_TRUE(readFile(runDir_ + "/dummy.htm").contains("blank"));

  tarnwick::tools::PracticeSite site;
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=2\r\n");
  writeFile(runDir_ + "/lvshowall.txt",
            "220000000101\r\n0.00\r\nT\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
  QProcess portal;
  start(portal, runDir_ + "/tarn11");
  // Only the agent asks for the item page; its page file shows where it worked. (While an
  // agent of another run of the user is open the portal rightly waits for it.)
  EXPECT_TRUE(waitFor(
      [&] {
        return site.requestCount("/ws/eBayISAPI.dll?ViewItem&item=220000000101") >= 1 &&
               QFile::exists(runDir_ + "/220000000101.tnw");
      },
      90000));
  portal.kill();
  portal.waitForFinished(5000);
  EXPECT_FALSE(QFile::exists(workPath("opener.log")));
}

// A restart neither hands an auction to the sniper again nor forgets a group satisfied before
// it. The portal runs on a clock twenty times faster, with the real agent and the fake sniper.
// The first run dispatches A, and the agent's refresh finds C won, which satisfies the group
// of C and B; then it is killed. The second run comes twenty minutes later on eBay's clock,
// when A is still in its window and B has come into its own: the check hands over neither.
TEST_F(PortalProcessTest, RestartNeitherRepeatsASnipeNorForgetsASatisfiedGroup) {
  tarnwick::tools::PracticeSite site;
  ASSERT_NO_FATAL_FAILURE(stageAgentAndSniper());
  writeFile(workPath("lvshowall.txt"),
            "220000000101\r\n5.00\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
            "220000000102\r\n5.00\r\nB\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nPAIR\r\n"
            "220000000401\r\n0.00\r\nC\r\n1.00\r\n0\r\n1\r\nACTIVE\r\nUSD\r\nPAIR\r\n");
  writeFile(workPath("lvAllTdate.txt"),
            "220000000101\r\n" + endsIn(10) + "\r\n1\r\n220000000102\r\n" + endsIn(40) +
                "\r\n1\r\n220000000401\r\n" + endsIn(-60) + "\r\n1\r\n");
  writeFile(workPath("groups.tnq"), "IND\r\nalone\r\n1\r\nPAIR\r\none of two\r\n1\r\n");
  const auto sniperStarts = [&] { return readFile(workPath("tnsnip.log")).count('\n'); };

  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=60\r\n");
  QProcess first;
  start(first, FASTCLOCK_PORTAL_PROGRAM, {"20"});
  const bool firstRunDone = waitFor(
      [&] {
        // The win lessens the group, then the list is saved with it: wait for both.
        return sniperStarts() >= 1 &&
               readFile(workPath("groups.tnq")).endsWith("PAIR\r\none of two\r\n0\r\n") &&
               readFile(workPath("lvshowall.txt")).contains("\r\nWON\r\nUSD\r\nPAIR\r\n");
      },
      60000);
  first.kill();
  first.waitForFinished(5000);
  ASSERT_TRUE(firstRunDone) << readFile(workPath("groups.tnq")).constData();
  ASSERT_EQ(sniperStarts(), 1);
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000101\r\n5\r\n"));
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).contains("\r\nWON\r\nUSD\r\nPAIR\r\n"));

  site.control("offset=-1200");
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\ncbLogFile=1\r\n");
  for (const QString& name : QDir(work_).entryList({"*logger.txt"}, QDir::Files))
    QFile::remove(workPath(name));
  QProcess second;
  start(second, FASTCLOCK_PORTAL_PROGRAM, {"20"});
  // The first check comes four minutes (on the fast clock) after the start-up fetch; a hand-over
  // would follow it at once.
  const bool checked = waitFor(
      [&] { return readFile(traceLogFile()).contains("TAG:checkDispatchLauncher()"); }, 40000);
  QThread::msleep(1500);
  const QByteArray log = readFile(traceLogFile());
  second.kill();
  second.waitForFinished(5000);
  ASSERT_TRUE(checked);
  EXPECT_TRUE(log.contains("TAG:stlNdPrchseFrmGrp(AnsiString grp)")) << "B was due";
  EXPECT_EQ(sniperStarts(), 1);
}

// A hand-edited list whose snipe amounts are no amounts ("-5", "1e300", "1.2.3") hands none of
// them to the sniper: each is told once in the run, over two checks, and the auction with a
// plain amount is handed over; "0.00" is no snipe. (The portal runs on a clock twenty times
// fast, so a check comes every twelve seconds.)
TEST_F(PortalProcessTest, AmountsThatAreNoAmountsAreToldOnceAndNotHandedOver) {
  tarnwick::tools::PracticeSite site;
  tarnwick::tools::stageFakes(work_.toStdString());
  FormatSettings().ShortDateFormat = "mm/dd/yy";
  FormatSettings().LongTimeFormat = "hh:mm:ss";
  const QByteArray end = DateTimeToStr(Now() + 15 * OneMinute).c_str();
  QByteArray list, entries;
  for (const char* amount : {"-5", "1e300", "1.2.3", "0.00", "5.00"}) {
    const QByteArray item = QByteArray("22000000030") + QByteArray::number(list.count("IND") + 1);
    list += item + "\r\n" + amount + "\r\nT\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n";
    entries += item + "\r\n" + end + "\r\n1\r\n";
  }
  writeFile(workPath("lvshowall.txt"), list);
  writeFile(workPath("lvAllTdate.txt"), entries);
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\ncbLogFile=1\r\n");
  QProcess portal;
  start(portal, FASTCLOCK_PORTAL_PROGRAM, {"20"});
  const bool twoChecks = waitFor(
      [&] { return readFile(traceLogFile()).count("TAG:checkDispatchLauncher()") >= 2; }, 60000);
  QThread::msleep(3500);
  portal.kill();
  portal.waitForFinished(5000);
  ASSERT_TRUE(twoChecks);
  EXPECT_EQ(readFile(workPath("tnsnip.log")).count('\n'), 1);
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000305\r\n5\r\n"));
  QStringList told;
  for (const QString& box : dialogLines()) told << box.split('|').value(4);
  EXPECT_EQ(told, QStringList({
                      "Sniper not launched for auction 220000000301: its snipe amount \"-5\" is "
                      "not an amount.",
                      "Sniper not launched for auction 220000000302: its snipe amount \"1e300\" "
                      "is not an amount.",
                      "Sniper not launched for auction 220000000303: its snipe amount \"1.2.3\" "
                      "is not an amount.",
                  }));
}

// The buyer's repair of a watched auction whose end-time entry is lost (an older list, a hand
// edit), holds an end that does not read, or holds a state word while the auction is live:
// adding it again makes the entry from its page, and the check hands it to the sniper as any
// other. An auction already handed over keeps its entry and is not handed over again. (tarn11
// driven by a script presses OK and the command bar's check button.)
TEST_F(PortalProcessTest, AddingAgainAnAuctionWhoseEndIsNotKnownGetsItDispatched) {
  tarnwick::tools::PracticeSite site;
  const char* const lost = "220000000101";        // no end-time entry
  const char* const unreadable = "220000000102";  // an entry whose end does not read
  const char* const handedOver = "220000000103";  // an entry that is fine, status "0"
  const char* const ended = "220000000104";       // an entry whose end is "ENDED", status "0"
  for (const char* item : {lost, unreadable, handedOver, ended})
    site.control(std::string("item=") + item + "&ends_in=600");
  tarnwick::tools::stageFakes(work_.toStdString());
  ASSERT_TRUE(QFile::copy(QStringLiteral(TARN11_DIR) + "/dummy.htm", workPath("dummy.htm")));
  FormatSettings().ShortDateFormat = "mm/dd/yy";
  FormatSettings().LongTimeFormat = "hh:mm:ss";
  QByteArray list;
  for (const char* item : {lost, unreadable, handedOver, ended})
    list += QByteArray(item) + "\r\n5.00\r\nT\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n";
  writeFile(workPath("lvshowall.txt"), list);
  const QByteArray handedOverEntry =
      QByteArray(handedOver) + "\r\n" + DateTimeToStr(Now() + 10 * OneMinute).c_str() + "\r\n0\r\n";
  writeFile(workPath("lvAllTdate.txt"), QByteArray(unreadable) + "\r\nsoon\r\n1\r\n" +
                                            handedOverEntry + ended + "\r\nENDED\r\n0\r\n");
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\n");
  writeFile(rootPath("actions"), QByteArray("add ") + lost + "\nadd " + unreadable + "\nadd " +
                                     handedOver + "\nadd " + ended + "\ncheck\n");
  QProcess portal;
  start(portal, DRIVEN_PORTAL_PROGRAM, {rootPath("actions"), rootPath("actions.log")});
  const bool checked =
      waitFor([&] { return readFile(rootPath("actions.log")).contains("done check"); }, 60000);
  // The sniper started last writes its log in a process of its own.
  waitFor([&] { return readFile(workPath("tnsnip.log")).count('\n') >= 3; }, 10000);
  portal.kill();
  portal.waitForFinished(5000);
  ASSERT_TRUE(checked) << readFile(rootPath("actions.log")).constData();

  EXPECT_EQ(readFile(rootPath("actions.log")).count("box Auction added."), 4);
  EXPECT_FALSE(readFile(rootPath("actions.log")).contains("Sniper not launched"))
      << readFile(rootPath("actions.log")).constData();
  ASSERT_EQ(readFile(workPath("tnsnip.log")).count('\n'), 3);
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith(QByteArray(unreadable) + "\r\n"));
  EXPECT_TRUE(readFile(workPath("tnsnip.2.BID.TDL")).startsWith(QByteArray(ended) + "\r\n"));
  EXPECT_TRUE(readFile(workPath("tnsnip.3.BID.TDL")).startsWith(QByteArray(lost) + "\r\n"));
  // The repaired entries are saved as handed over; the fine one is as it was.
  const QStringList entries =
      QString::fromLatin1(readFile(workPath("lvAllTdate.txt"))).split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(entries.size(), 12) << entries.join('|').toStdString();
  EXPECT_EQ(entries.mid(3, 3).join("\r\n") + "\r\n", QString::fromLatin1(handedOverEntry));
  for (const auto& [at, item] :
       std::vector<std::pair<int, const char*>>{{0, unreadable}, {6, ended}, {9, lost}}) {
    EXPECT_EQ(entries[at], item);
    TDateTime end;
    EXPECT_TRUE(TryStrToDateTime(entries[at + 1].toLatin1().constData(), end))
        << entries[at + 1].toStdString();
    EXPECT_EQ(entries[at + 2], "0") << item;
  }
}

// A snipe amount or a quantity changed while its box is open on a due auction: the check that
// runs in the box's loop hands the auction over with the value it had, and the new one is not
// lost in silence. After OK the buyer is told at once what the sniper has and how to hand over
// the new value. (tarn11 driven by a script holds the box open for 20 seconds on a clock twenty
// times fast, so the first check, four minutes after the start, falls inside it.)
TEST_F(PortalProcessTest, SnipeAmountOrQuantityChangedWhileTheCheckHandsTheAuctionOverIsTold) {
  tarnwick::tools::PracticeSite site;
  ASSERT_NO_FATAL_FAILURE(stageAgentAndSniper());
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\n");
  struct Edit {
    const char* action;  // held open 20 s, which the fast clock makes 400 s: a check runs
    const char* verb;
    const char* what;
    const char* listed;  // the watch list's record after OK
    const char* told;
  };
  const Edit edits[] = {
      {"snipe 220000000101 7.50 20000\n", "done snipe", "snipe amount",
       "220000000101\r\n7.50\r\nA\r\n1.00\r\n0\r\n1\r\n",
       "the sniper has the snipe amount 5.00, not 7.50. To hand over 7.50"},
      {"qty 220000000101 3 20000\n", "done qty", "quantity",
       "220000000101\r\n5.00\r\nA\r\n1.00\r\n0\r\n3\r\n",
       "the sniper has the quantity 1, not 3. To hand over 3"},
  };
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.action);
    QFile::remove(workPath("tnsnip.log"));
    QFile::remove(workPath("tnsnip.1.BID.TDL"));
    QFile::remove(rootPath("actions.log"));
    writeFile(workPath("lvshowall.txt"),
              "220000000101\r\n5.00\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
    writeFile(workPath("lvAllTdate.txt"), "220000000101\r\n" + endsIn(15) + "\r\n1\r\n");
    writeFile(rootPath("actions"), edit.action);
    QProcess portal;
    start(portal, DRIVEN_PORTAL_PROGRAM, {rootPath("actions"), rootPath("actions.log"), "20"});
    const bool edited =
        waitFor([&] { return readFile(rootPath("actions.log")).contains(edit.verb); }, 60000);
    waitFor([&] { return readFile(rootPath("actions.log")).contains("box "); }, 5000);
    const QByteArray actions = readFile(rootPath("actions.log"));
    portal.kill();
    portal.waitForFinished(5000);
    ASSERT_TRUE(edited) << actions.constData();
    ASSERT_EQ(readFile(workPath("tnsnip.log")).count('\n'), 1);
    EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000101\r\n5\r\n"));
    EXPECT_TRUE(readFile(workPath("lvshowall.txt")).startsWith(edit.listed));
    EXPECT_TRUE(actions.contains(QByteArray("box Auction 220000000101 was handed to the sniper "
                                            "while its ") +
                                 edit.what + " was being changed: " + edit.told +
                                 ", select the auction and choose \"Launch Sniper\".\n"))
        << actions.constData();
  }
}

}  // namespace
