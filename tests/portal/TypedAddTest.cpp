// The real tarn11 on a virtual X display with a window manager, an item number typed into its
// "Enter Ebay Item Number" box and OK pressed from the keyboard (xdotool), as a buyer would:
// the add road against the practice auction site, with every box logged and answered.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <functional>

#include "PortalTestSupport.h"
#include "UnderOpenbox.h"
#include "lib/DateTime.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "tools/testing/PracticeSite.h"

namespace {

using tarnwick::tools::PracticeSite;

class TypedAddTest : public PortalWorkDir {
 protected:
  void SetUp() override {
    if (!xServerFailure().empty()) GTEST_SKIP() << xServerFailure();
    ASSERT_TRUE(windowManagerFailure().empty()) << windowManagerFailure();
    PortalWorkDir::SetUp();
    tarnwick::tools::stageFakes(work_.toStdString());
    ASSERT_TRUE(QFile::copy(QStringLiteral(TARN11_DIR) + "/dummy.htm", workPath("dummy.htm")));
    FormatSettings().ShortDateFormat = "mm/dd/yy";
    FormatSettings().LongTimeFormat = "hh:mm:ss";
  }
  void TearDown() override {
    if (portal_.state() != QProcess::NotRunning) {
      portal_.kill();
      portal_.waitForFinished(5000);
    }
    PortalWorkDir::TearDown();
  }
  // Starts the portal on the session's display, its hosts at the site, its trace log on.
  void start(const QString& program, const QStringList& arguments = {}) {
    writeFile(windirPath("tarnwick.ini"),
              QByteArray::fromStdString(site_.hostsSection()) +
                  "[prefs]\r\nedtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\n"
                  "cbLogFile=1\r\n");
    writeFile(workPath("dialogs.script"), "* => OK\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TARNWICK_WINDIR", windir_);
    env.insert("TARNWICK_DIALOG_LOG", workPath("dialogs.log"));
    env.insert("TARNWICK_DIALOG_SCRIPT", workPath("dialogs.script"));
    env.insert("TARNWICK_OPENER", QString::fromStdString(tarnwick::tools::fakeOpener().string()));
    portal_.setProcessEnvironment(env);
    portal_.setWorkingDirectory(work_);
    portal_.start(program, arguments);
    ASSERT_TRUE(portal_.waitForStarted(10000));
    // Typed only once the start-up is done: the command bar is up, the schedule runs.
    ASSERT_TRUE(waitFor([&] { return traceLog().contains("TAG:formShow2()"); }, 20000));
  }
  // Types the item number into the main window's item box, which holds the focus when the
  // window is first shown, and presses its OK button (the next in the tab order).
  static void typeItem(const QString& item) {
    const auto run = [](const QStringList& arguments) {
      QProcess xdotool;
      xdotool.start("xdotool", arguments);
      ASSERT_TRUE(xdotool.waitForFinished(15000));
      ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().constData();
    };
    run({"search", "--sync", "--onlyvisible", "--name", "^Tarnwick: Control Command Portal$",
         "windowactivate", "--sync"});
    run({"type", "--delay", "30", item});
    run({"key", "--delay", "100", "Tab", "space"});
  }
  QByteArray traceLog() const {
    for (const QString& name : QDir(work_).entryList({"*logger.txt"}, QDir::Files))
      return readFile(workPath(name));
    return {};
  }
  QByteArray dialogs() const { return readFile(workPath("dialogs.log")); }
  static bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) QThread::msleep(50);
    return done();
  }
  // A watched auction with a snipe amount, ending in 15 minutes: due at the first check.
  void watchDueAuction() {
    writeFile(workPath("lvshowall.txt"),
              "220000000101\r\n5.00\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
    writeFile(workPath("lvAllTdate.txt"), "220000000101\r\n" + endsIn(15) + "\r\n1\r\n");
  }
  static QByteArray endsIn(int minutes) {
    return QByteArray(DateTimeToStr(Now() + minutes * OneMinute).c_str());
  }

  PracticeSite site_;
  QProcess portal_;
};

// An added item whose page never comes (the connection is dropped at every request) held the
// schedule for good, so no auction was handed to the sniper any more. Once its retry has
// failed too the add gives up and says so, and the due auction is handed over. (The portal
// runs on a clock twenty times fast: two minutes pass in six seconds.)
TEST_F(TypedAddTest, AddWhosePageNeverComesGivesUpAndTheDueSnipeIsHandedOver) {
  site_.control("page=item:220000000102&fault=drop");
  watchDueAuction();
  start(FASTCLOCK_PORTAL_PROGRAM, {"20"});
  typeItem("220000000102");
  ASSERT_TRUE(waitFor(
      [&] { return site_.requestCount("/ws/eBayISAPI.dll?ViewItem&item=220000000102") >= 1; },
      10000));
  const bool handedOver =
      waitFor([&] { return readFile(workPath("tnsnip.log")).count('\n') >= 1; }, 60000);
  EXPECT_TRUE(waitFor(
      [&] {
        return dialogs().contains(
            "|The page of item 220000000102 could not be loaded. Try adding "
            "the auction again later.|");
      },
      30000))
      << dialogs().constData();
  ASSERT_TRUE(handedOver);
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000101\r\n5\r\n"));
  EXPECT_FALSE(readFile(workPath("lvAllTdate.txt")).contains("220000000102"));
}

// An item page that comes cut short once (without its end) is asked for again two minutes
// later, as the schedule's page retry does, and the whole page then adds the auction. (Twenty
// times fast: the retry comes six seconds after the request.)
TEST_F(TypedAddTest, PageCutShortOnceIsAskedAgainAndAdded) {
  site_.control("page=item:220000000102&fault=truncate&count=1");
  start(FASTCLOCK_PORTAL_PROGRAM, {"20"});
  typeItem("220000000102");
  ASSERT_TRUE(waitFor(
      [&] { return dialogs().contains("220000000102") || dialogs().contains("Auction added."); },
      40000))
      << dialogs().constData();
  EXPECT_TRUE(dialogs().contains("|Auction added.  Click grid to select auction."))
      << dialogs().constData();
  EXPECT_EQ(site_.requestCount("/ws/eBayISAPI.dll?ViewItem&item=220000000102"), 2);
  EXPECT_TRUE(readFile(workPath("lvAllTdate.txt")).startsWith("220000000102\r\n"));
}

// A page that stays cut short is given up only once its retry has come cut short too: two
// requests, then the box. Meanwhile the due auction is handed to the sniper at its check, which
// falls within the add's wait.
TEST_F(TypedAddTest, PageThatStaysCutShortIsGivenUpAfterItsRetryAndHoldsNoDispatchBack) {
  site_.control("page=item:220000000102&fault=truncate");
  watchDueAuction();
  start(FASTCLOCK_PORTAL_PROGRAM, {"20"});
  // The first check comes four minutes (twelve seconds) after the start: the add is typed a
  // minute (three seconds) in, so the check falls due while it waits.
  QThread::msleep(3000);
  typeItem("220000000102");
  const char* gaveUp =
      "|The page of item 220000000102 could not be loaded. Try adding the auction again later.|";
  ASSERT_TRUE(waitFor([&] { return readFile(workPath("tnsnip.log")).count('\n') >= 1; }, 30000));
  EXPECT_FALSE(dialogs().contains(gaveUp)) << "the check waited for the add";
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000101\r\n5\r\n"));
  ASSERT_TRUE(waitFor([&] { return dialogs().contains(gaveUp); }, 30000)) << dialogs().constData();
  EXPECT_EQ(site_.requestCount("/ws/eBayISAPI.dll?ViewItem&item=220000000102"), 2);
  EXPECT_FALSE(readFile(workPath("lvAllTdate.txt")).contains("220000000102"));
}

// A page whose end time does not read ("Dec-1-26 1:00:00": a one-digit day and hour) was
// added with the moment of the add as its end. It is not added, and the user is told.
TEST_F(TypedAddTest, PageWhoseEndTimeDoesNotReadIsNotAdded) {
  site_.control("item=220000000101&end_text=Dec-1-26%201:00:00");
  start(TARN11_PROGRAM);
  typeItem("220000000101");
  ASSERT_TRUE(waitFor([&] { return dialogs().contains("220000000101"); }, 20000))
      << dialogs().constData();
  QThread::msleep(500);
  EXPECT_TRUE(dialogs().contains(
      "|Auction 220000000101 not added: its end time cannot be read from its page.|"))
      << dialogs().constData();
  EXPECT_FALSE(dialogs().contains("Auction added."));
  // An add writes the end-time list at once: nothing was written.
  EXPECT_FALSE(QFile::exists(workPath("lvAllTdate.txt")));
}

}  // namespace
