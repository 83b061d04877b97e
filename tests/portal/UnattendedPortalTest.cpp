// The real tarn11 left alone on a virtual X display with a window manager, as a buyer leaves it
// once the snipes are set: its boxes are real windows that nobody answers for a while. Whoever
// opened a box, the schedule goes on while it is open: due auctions reach the fake sniper, the
// real agent's refresh is read back. (The portal runs on a clock twenty times fast: its checks,
// every four minutes, come every twelve seconds.)
#include <gtest/gtest.h>

#include "PortalProcessFixture.h"
#include "UnderOpenbox.h"

namespace {

class UnattendedPortalTest : public PortalProcessFixture {
 protected:
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
  for (const QStringList& step :
       {QStringList{"search", "--sync", "--onlyvisible", "--name",
                    "^Tarnwick: Control Command Portal$", "windowactivate", "--sync"},
        QStringList{"type", "--delay", "30", "220000000102"},
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

}  // namespace
