// The real programs over refresh runs against a slow or stalled site: tarn11 on a clock twenty
// times fast, the real agent it starts and the fake sniper, against the practice site. The
// agent's pages and give-ups take real time (tens of seconds a row), and while its window is
// open every portal of the user waits to start its own agent, so the tests of this program run
// alone.
#include <QDir>

#include "PortalProcessFixture.h"
#include "lib/DateTime.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "tools/testing/PracticeSite.h"
#include "win32/findwindow.h"

namespace {

class StalledRefreshTest : public PortalProcessFixture {
 protected:
  // Ends the portal, lets an agent it started finish (none starts from here on, and the site's
  // faults are cleared, so it ends soon) before the site goes.
  void endPrograms(QProcess& portal, tarnwick::tools::PracticeSite& site) {
    QFile::remove(workPath("rerav.iru"));
    site.control("reset=faults");
    portal.kill();
    portal.waitForFinished(5000);
    const auto agentOpen = [] {
      return FindWindowA(nullptr, "Tarnwick Refresh Data Agent") != nullptr;
    };
    if (waitFor(agentOpen, 3000)) waitFor([&] { return !agentOpen(); }, 60000);
  }
};

// A win read before two rows in a row whose pages hang reaches the portal: the run that gives
// up still hands back what it read. The win lessens its group, whose cancel file then lists the
// auction already handed to the sniper. The rows from the stall on are kept as they were.
TEST_F(StalledRefreshTest, AWinReadBeforeTwoStalledRowsReachesThePortalAndCancelsItsGroup) {
  tarnwick::tools::PracticeSite site;
  ASSERT_NO_FATAL_FAILURE(stageAgentAndSniper());
  // Won by the member; two live auctions whose pages hang; the group's other auction, due for
  // its snipe.
  writeFile(workPath("lvshowall.txt"),
            "220000000401\r\n0.00\r\nC\r\n1.00\r\n0\r\n1\r\nACTIVE\r\nUSD\r\nPAIR\r\n"
            "220000000101\r\n0.00\r\nS1\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
            "220000000102\r\n0.00\r\nS2\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
            "220000000103\r\n5.00\r\nB\r\n1.00\r\n0\r\n1\r\n10m 00s\r\nUSD\r\nPAIR\r\n");
  writeFile(workPath("lvAllTdate.txt"), "220000000401\r\n" + endsIn(-60) + "\r\n1\r\n" +
                                            "220000000101\r\n" + endsIn(2 * 1440) + "\r\n1\r\n" +
                                            "220000000102\r\n" + endsIn(2 * 1440) + "\r\n1\r\n" +
                                            "220000000103\r\n" + endsIn(10) + "\r\n1\r\n");
  writeFile(workPath("groups.tnq"), "IND\r\nalone\r\n1\r\nPAIR\r\none of two\r\n1\r\n");
  for (const char* item : {"220000000101", "220000000102"})
    site.control(std::string("fault=stall&page=item:") + item);
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=60\r\n");

  QProcess portal;
  start(portal, FASTCLOCK_PORTAL_PROGRAM, {"20"});
  // Two give-ups of 30 seconds each.
  const bool won = waitFor(
      [&] {
        return readFile(workPath("groups.tnq")).endsWith("PAIR\r\none of two\r\n0\r\n") &&
               readFile(workPath("lvshowall.txt")).contains("\r\nWON\r\nUSD\r\nPAIR\r\n") &&
               QFile::exists(workPath("cancPAIR.TDL"));
      },
      200000);
  const int stalledRequests = site.requestCount("/ws/eBayISAPI.dll?ViewItem&item=220000000102");
  const int requestsAfterTheStall =
      site.requestCount("/ws/eBayISAPI.dll?ViewItem&item=220000000103");
  // The countdown may start another agent at any tick.
  endPrograms(portal, site);
  ASSERT_TRUE(won) << readFile(workPath("groups.tnq")).constData();

  EXPECT_EQ(readFile(workPath("cancPAIR.TDL")), "220000000401\r\n220000000103\r\n");
  EXPECT_EQ(readFile(workPath("tnsnip.log")).count('\n'), 1);
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000103\r\n5\r\n"));
  const QByteArray list = readFile(workPath("lvshowall.txt"));
  EXPECT_TRUE(list.contains("220000000101\r\n0.00\r\nS1\r\n1.00\r\n0\r\n1\r\n2 days\r\n"));
  EXPECT_TRUE(list.contains("220000000102\r\n0.00\r\nS2\r\n1.00\r\n0\r\n1\r\n2 days\r\n"));
  EXPECT_GE(stalledRequests, 1);
  EXPECT_EQ(requestsAfterTheStall, 0);
}

// Pages that keep coming are read, however long they take: two that trickle for 40 seconds each
// (longer than a row may go without progress), then one whose server waits 20 seconds before
// it answers (a request asked again meanwhile must not cost its answer). The win read after
// them reaches the portal in the same run: its group wants no more wins, its cancel file lists
// the group's other auction, and that one, due later, is not handed to the sniper.
TEST_F(StalledRefreshTest, PagesThatKeepComingAreReadAndTheWinAfterThemCancelsItsGroup) {
  tarnwick::tools::PracticeSite site;
  ASSERT_NO_FATAL_FAILURE(stageAgentAndSniper());
  writeFile(workPath("lvshowall.txt"),
            "220000000101\r\n0.00\r\nS1\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
            "220000000102\r\n0.00\r\nS2\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
            "220000000104\r\n0.00\r\nL\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n"
            "220000000401\r\n0.00\r\nC\r\n1.00\r\n0\r\n1\r\nACTIVE\r\nUSD\r\nPAIR\r\n"
            "220000000103\r\n5.00\r\nB\r\n1.00\r\n0\r\n1\r\n1h 10m\r\nUSD\r\nPAIR\r\n");
  // The group's other auction falls due (20 minutes before its end) two and a half minutes
  // after the start, well after the run that reads the win has ended.
  writeFile(workPath("lvAllTdate.txt"), "220000000101\r\n" + endsIn(2 * 1440) + "\r\n1\r\n" +
                                            "220000000102\r\n" + endsIn(2 * 1440) + "\r\n1\r\n" +
                                            "220000000104\r\n" + endsIn(2 * 1440) + "\r\n1\r\n" +
                                            "220000000401\r\n" + endsIn(-60) + "\r\n1\r\n" +
                                            "220000000103\r\n" + endsIn(70) + "\r\n1\r\n");
  writeFile(workPath("groups.tnq"), "IND\r\nalone\r\n1\r\nPAIR\r\none of two\r\n1\r\n");
  for (const char* item : {"220000000101", "220000000102"})
    site.control(std::string("trickle=40000&page=item:") + item);
  site.control("delay=20000&page=item:220000000104");
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=60\r\n");

  QProcess portal;
  start(portal, FASTCLOCK_PORTAL_PROGRAM, {"20"});
  // The watch list as the win saved it, before a later run could refresh it again.
  QByteArray listAtTheWin;
  const bool won = waitFor(
      [&] {
        listAtTheWin = readFile(workPath("lvshowall.txt"));
        return readFile(workPath("groups.tnq")).endsWith("PAIR\r\none of two\r\n0\r\n") &&
               listAtTheWin.contains("\r\nWON\r\nUSD\r\nPAIR\r\n") &&
               QFile::exists(workPath("cancPAIR.TDL"));
      },
      200000);
  // Later runs need not be slow.
  site.control("reset=faults");
  // The dispatch check finds the other auction due and refuses it: its group is satisfied.
  const bool refused = won && waitFor(
                                  [&] {
                                    return readFile(workPath("lvshowall.txt"))
                                        .contains("220000000103\r\n5.00\r\nGROUP SATISFIED B\r\n");
                                  },
                                  80000);
  endPrograms(portal, site);
  ASSERT_TRUE(won) << readFile(workPath("groups.tnq")).constData();

  EXPECT_EQ(readFile(workPath("cancPAIR.TDL")), "220000000401\r\n220000000103\r\n");
  EXPECT_TRUE(listAtTheWin.contains("220000000101\r\n0.00\r\nS1\r\n12.50\r\n7\r\n"));
  EXPECT_TRUE(listAtTheWin.contains("220000000102\r\n0.00\r\nS2\r\n12.50\r\n7\r\n"));
  EXPECT_TRUE(listAtTheWin.contains("220000000104\r\n0.00\r\nL\r\n1234.56\r\n31\r\n"))
      << listAtTheWin.constData();
  EXPECT_TRUE(refused);
  EXPECT_FALSE(QFile::exists(workPath("tnsnip.log")));
}

}  // namespace
