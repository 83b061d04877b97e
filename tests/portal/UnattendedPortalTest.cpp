// The real tarn11 left alone on a virtual X display with a window manager, as a buyer leaves it
// once the snipes are set: its boxes are real windows that nobody answers for a while. Whoever
// opened a box, the schedule goes on while it is open: due auctions reach the fake sniper, the
// real agent's refresh is read back. (The portal runs on a clock twenty times fast: its checks,
// every four minutes, come every twelve seconds.)
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include "PortalProcessFixture.h"
#include "UnderOpenbox.h"

namespace {

class UnattendedPortalTest : public PortalProcessFixture {
 protected:
  static inline const QString kPortalWindow = "Tarnwick: Control Command Portal";
  void SetUp() override {
    if (!xServerFailure().empty()) GTEST_SKIP() << xServerFailure();
    ASSERT_TRUE(windowManagerFailure().empty()) << windowManagerFailure();
    PortalProcessFixture::SetUp();
    onDisplay_ = true;
    ASSERT_NO_FATAL_FAILURE(stageAgentAndSniper());
  }
  void TearDown() override {
    if (portal_.state() != QProcess::NotRunning) {
      portal_.kill();
      portal_.waitForFinished(5000);
    }
    PortalProcessFixture::TearDown();
  }
  // Starts the portal with its trace log on; done once its start-up is.
  void startPortal(const QByteArray& prefs) {
    writeIni(site_, "edtEbayMember=tarnbuyer\r\ncbLogFile=1\r\n" + prefs);
    start(portal_, FASTCLOCK_PORTAL_PROGRAM, {"20"});
    ASSERT_TRUE(waitFor([&] { return traceLog().contains("TAG:formShow2()"); }, 20000));
  }
  // What xdotool, run with the arguments on the session's display, writes out.
  static QString xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(15000)) return {};
    return QString::fromLatin1(tool.readAllStandardOutput());
  }
  // Whether an error box of the portal is open on the display.
  static bool errorBoxOpen() {
    return !xdotool({"search", "--onlyvisible", "--name", "^Error$"}).trimmed().isEmpty();
  }
  // Presses the error box's OK button, as the buyer does on coming back.
  static void answerErrorBox() {
    for (int tries = 0; tries < 20 && errorBoxOpen(); ++tries) {
      xdotool({"search", "--onlyvisible", "--name", "^Error$", "windowactivate", "--sync", "key",
               "Return"});
      waitFor([] { return !errorBoxOpen(); }, 1000);
    }
  }
  // Makes the portal's main window the active one, as the buyer's click does.
  static void activatePortal() {
    xdotool({"search", "--sync", "--onlyvisible", "--name", "^" + kPortalWindow + "$",
             "windowactivate", "--sync"});
  }
  // Whether the refresh agent's window is shown on the display.
  static bool agentWindowOpen() {
    return !xdotool({"search", "--onlyvisible", "--name", "^Tarnwick Refresh Data Agent$"})
                .trimmed()
                .isEmpty();
  }
  static QString activeWindowName() {
    return xdotool({"getactivewindow", "getwindowname"}).trimmed();
  }
  QByteArray traceLog() const {
    const QString log = traceLogFile();
    return log.isEmpty() ? QByteArray() : readFile(log);
  }
  int sniperStarts() const { return readFile(workPath("tnsnip.log")).count('\n'); }
  QByteArray dialogs() const { return readFile(rootPath("dialogs.log")); }

  tarnwick::tools::PracticeSite site_;
  QProcess portal_;
};

// The add of an item whose page never comes gives up in a box (five minutes after the start);
// left open, it held every snipe back. The watched auction falls due at the check twelve
// minutes after the start and is handed to the sniper then, the box still open.
TEST_F(UnattendedPortalTest, AddsGiveUpBoxLeftOpenHoldsNoSnipeBack) {
  site_.control("page=item:220000000102&fault=drop");
  writeFile(workPath("lvshowall.txt"),
            "220000000101\r\n5.00\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
  writeFile(workPath("lvAllTdate.txt"), "220000000101\r\n" + endsIn(30) + "\r\n1\r\n");
  ASSERT_NO_FATAL_FAILURE(startPortal("edtRefreshInterval=100000\r\n"));
  // Typed into the item box, which holds the focus, then OK (the next in the tab order).
  activatePortal();
  for (const QStringList& step : {QStringList{"type", "--delay", "30", "220000000102"},
                                  QStringList{"key", "--delay", "100", "Tab", "space"}})
    xdotool(step);
  ASSERT_TRUE(waitFor(errorBoxOpen, 40000)) << dialogs().constData();
  EXPECT_EQ(sniperStarts(), 0) << "the auction was due before the box";
  const bool handedOver = waitFor([&] { return sniperStarts() >= 1; }, 90000);
  EXPECT_TRUE(errorBoxOpen());
  const char* gaveUp =
      "|The page of item 220000000102 could not be loaded. Try adding the auction again later.|";
  EXPECT_FALSE(dialogs().contains(gaveUp)) << "the box was answered";
  ASSERT_TRUE(handedOver);
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000101\r\n5\r\n"));
  answerErrorBox();
  EXPECT_TRUE(waitFor([&] { return dialogs().contains(gaveUp); }, 10000)) << dialogs().constData();
}

// The check's own box (an amount that is no amount, four minutes after the start) left open:
// the agent started eight minutes after the start is read back, and the other auction, due at
// the check twelve minutes after it, is handed over. The box is told once in the run, however
// many checks run while it is open.
TEST_F(UnattendedPortalTest, ChecksOwnBoxLeftOpenHoldsBackNeitherTheNextSnipeNorTheAgentsResult) {
  writeFile(workPath("lvshowall.txt"),
            "220000000101\r\n1.2.3\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
            "220000000102\r\n5.00\r\nB\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
  writeFile(workPath("lvAllTdate.txt"), "220000000101\r\n" + endsIn(15) +
                                            "\r\n1\r\n220000000102\r\n" + endsIn(30) + "\r\n1\r\n");
  ASSERT_NO_FATAL_FAILURE(startPortal("edtRefreshInterval=480\r\n"));
  ASSERT_TRUE(waitFor(errorBoxOpen, 40000)) << dialogs().constData();
  EXPECT_EQ(sniperStarts(), 0);
  // (While an agent of another test is open the portal rightly waits for it: its next start
  // comes a countdown later.)
  const bool going =
      waitFor([&] { return sniperStarts() >= 1 && traceLog().contains("TAG:loadFreshGridData()"); },
              120000);
  EXPECT_TRUE(errorBoxOpen());
  EXPECT_FALSE(dialogs().contains("Sniper not launched")) << "the box was answered";
  ASSERT_TRUE(going) << "handed over: " << sniperStarts();
  EXPECT_FALSE(QFile::exists(workPath("newgrid.lv")));
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000102\r\n5\r\n"));
  answerErrorBox();
  ASSERT_TRUE(waitFor([&] { return dialogs().contains("Sniper not launched"); }, 10000));
  EXPECT_EQ(dialogs().count("Sniper not launched"), 1);
  EXPECT_TRUE(
      dialogs().contains("|Sniper not launched for auction 220000000101: its snipe amount "
                         "\"1.2.3\" is not an amount.|"))
      << dialogs().constData();
}

// A refresh run's agent window comes up every refresh interval, while the buyer may be typing
// into the portal; it took the keyboard, so keys typed meanwhile went to it and were lost, and
// a Return meant for a box of the portal went to the agent. Now it shows without taking the
// keyboard: every key typed into the item box arrives there, the portal's window stays the
// active one while the agent's is open, and its box that comes then is answered by Return.
// (Refresh every ten seconds on the fast clock; the agent's page never comes, so its window
// stays open for half a minute at least.)
TEST_F(UnattendedPortalTest, AgentWindowTakesNoKeyFromThePortal) {
  site_.control("page=item:220000000101&fault=stall");
  writeFile(workPath("lvshowall.txt"),
            "220000000101\r\n0.00\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
  writeFile(workPath("lvAllTdate.txt"), "220000000101\r\n" + endsIn(2880) + "\r\n1\r\n");
  ASSERT_NO_FATAL_FAILURE(startPortal("edtRefreshInterval=200\r\n"));
  activatePortal();
  const std::string portalWindow = kPortalWindow.toStdString();
  ASSERT_EQ(activeWindowName().toStdString(), portalWindow);
  // Typed five keys a second until the agent's window has been open for twenty more; a number
  // grown too long for an item before it came up is typed anew. (While an agent of another
  // test is open the portal rightly waits for it: the next countdown starts this one.)
  QString typed;
  QStringList activeWhileAgentOpen;
  int typedWhileOpen = 0;
  QElapsedTimer typing;
  typing.start();
  while (typedWhileOpen < 20 && typing.elapsed() < 120000) {
    if (typedWhileOpen == 0 && typed.size() >= 60) {
      xdotool({"key", "ctrl+a", "BackSpace"});
      typed.clear();
    }
    const QString keys = QString::number(10001 + typed.size() / 5);
    xdotool({"type", "--delay", "40", keys});
    typed += keys;
    if (agentWindowOpen()) {
      typedWhileOpen += 5;
      activeWhileAgentOpen << activeWindowName();
    } else {
      QThread::msleep(700);
    }
  }
  ASSERT_GE(typedWhileOpen, 20) << "no agent window came up";
  for (const QString& active : activeWhileAgentOpen) EXPECT_EQ(active.toStdString(), portalWindow);
  // OK, the next in the tab order: the number is no item of the site, which says so in a box.
  xdotool({"key", "--delay", "100", "Tab", "space"});
  EXPECT_TRUE(waitFor(
      [&] { return site_.requestCount("/ws/eBayISAPI.dll?ViewItem&item=" + typed.toStdString()); },
      20000))
      << "typed " << typed.toStdString();
  const auto itemNotFoundOpen = [] {
    return !xdotool({"search", "--onlyvisible", "--name", "^Warning$"}).trimmed().isEmpty();
  };
  ASSERT_TRUE(waitFor(itemNotFoundOpen, 20000)) << dialogs().constData();
  EXPECT_TRUE(agentWindowOpen());
  xdotool({"key", "Return"});
  EXPECT_TRUE(waitFor([&] { return dialogs().contains("|Item not found|"); }, 10000))
      << dialogs().constData();
}

// A box of the agent, which works in the background, comes up without the keyboard too: its
// file error ("Cannot open file lvshowall.txt", in a folder without the list) is shown while the
// portal's window stays the active one.
TEST_F(UnattendedPortalTest, AgentsBoxTakesNoKeyFromThePortal) {
  ASSERT_NO_FATAL_FAILURE(startPortal("edtRefreshInterval=100000\r\n"));
  activatePortal();
  const std::string portalWindow = kPortalWindow.toStdString();
  ASSERT_EQ(activeWindowName().toStdString(), portalWindow);
  runDir_ = rootPath("listless");
  ASSERT_TRUE(QDir().mkpath(runDir_));
  QProcess agent;
  start(agent, workPath("rerav.iru"), {}, "* => OK\n", "agent");
  const auto boxOpen = [] {
    return !xdotool({"search", "--onlyvisible", "--name", "^Tarnwick Refresh Grid$"})
                .trimmed()
                .isEmpty();
  };
  const bool shown = waitFor(boxOpen, 20000);
  const std::string active = activeWindowName().toStdString();
  agent.kill();
  agent.waitForFinished(5000);
  ASSERT_TRUE(shown);
  EXPECT_EQ(active, portalWindow);
}

}  // namespace
