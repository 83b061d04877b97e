// The real programs over a refresh run that gives up: tarn11 on a clock twenty times fast, the
// real agent it starts and the fake sniper, against the practice site. The agent's give-ups
// take real time (30 seconds a row), and while its window is open every portal of the user
// waits to start its own agent, so the tests of this program run alone.
#include <QDir>

#include "PortalProcessFixture.h"
#include "lib/DateTime.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "tools/testing/PracticeSite.h"
#include "win32/findwindow.h"

namespace {

class StalledRefreshTest : public PortalProcessFixture {};

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
  // The countdown may start another agent at any tick: none starts from here on, and one that
  // started ends at once (the counter is reset too). It is let finish before the site goes.
  QFile::remove(workPath("rerav.iru"));
  site.control("reset=faults");
  portal.kill();
  portal.waitForFinished(5000);
  const auto agentOpen = [] {
    return FindWindowA(nullptr, "Tarnwick Refresh Data Agent") != nullptr;
  };
  if (waitFor(agentOpen, 3000)) waitFor([&] { return !agentOpen(); }, 30000);
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

}  // namespace
