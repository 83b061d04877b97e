// The real tarn11 across kills, crashes and second starts: one portal at a time in a folder,
// what a restart finds and finishes, and what it tidies away.
#include <signal.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "PortalProcessFixture.h"
#include "lib/DateTime.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "portal/LeftTemporaries.h"
#include "win32/findwindow.h"

namespace {

class PortalRestartTest : public PortalProcessFixture {
 protected:
  // Every entry of the working directory, hidden ones included, with what would show that it
  // was touched: its size, its change time and its bytes.
  std::map<std::string, std::string> folderState() const {
    std::map<std::string, std::string> state;
    for (const auto& entry : std::filesystem::directory_iterator(work_.toStdString())) {
      struct stat info {};
      lstat(entry.path().c_str(), &info);
      const QByteArray bytes = readFile(QString::fromStdString(entry.path().string()));
      state[entry.path().filename().string()] =
          std::to_string(info.st_size) + "/" + std::to_string(info.st_ctim.tv_sec) + "." +
          std::to_string(info.st_ctim.tv_nsec) + "/" + bytes.toStdString();
    }
    return state;
  }
  // Starts tarn11 and kills it once its trace log holds then after first; whether it got there
  // within timeoutMs.
  bool runUntilLogged(const char* first, const char* then, int timeoutMs) {
    removeTraceLogs();
    QProcess portal;
    start(portal, TARN11_PROGRAM);
    const bool logged = waitFor(
        [&] {
          const QByteArray log = readFile(traceLogFile());
          const int at = log.indexOf(first);
          return at >= 0 && log.indexOf(then, at) > 0;
        },
        timeoutMs);
    portal.kill();
    portal.waitForFinished(5000);
    return logged;
  }
  int timeRequests(const tarnwick::tools::PracticeSite& site) const {
    return site.requestCount("/aw-cgi/eBayISAPI.dll?TimeShow");
  }
};

constexpr const char* alreadyRunning =
    "Tarnwick is already running in this folder. Use the window that is open, or close it "
    "before starting Tarnwick again.";

// A second portal in a folder where one runs says so and ends: it neither reads the official
// time nor touches a file, not even the preferences or the trace log. Once the first is
// killed the next start goes on.
TEST_F(PortalRestartTest, SecondPortalInTheFolderSaysSoAndEndsWithoutTouchingAFile) {
  tarnwick::tools::PracticeSite site;
  writeIni(site, "cbLogFile=1\r\nedtRefreshInterval=100000\r\n");
  writeFile(workPath("lvshowall.txt"),
            "220000000101\r\n5.00\r\nT\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n");
  QProcess first;
  start(first, TARN11_PROGRAM, {}, "* => OK\n", "first");
  ASSERT_TRUE(waitFor([&] { return readFile(traceLogFile()).contains("TAG:formShow2()"); }, 15000));
  // Files the second portal's shutdown would delete or write.
  writeFile(workPath("keep.tnw"), "page");
  writeFile(workPath("BID.TDL"), "instructions");
  QThread::msleep(300);
  const auto before = folderState();
  const QByteArray iniBefore = readFile(windirPath("tarnwick.ini"));
  const int requestsBefore = timeRequests(site);

  QProcess second;
  start(second, TARN11_PROGRAM, {}, "* => OK\n", "second");
  ASSERT_TRUE(second.waitForFinished(15000));
  EXPECT_EQ(second.exitCode(), 0);
  const QStringList boxes = dialogLines("second");
  ASSERT_EQ(boxes.size(), 1) << boxes.join('\n').toStdString();
  EXPECT_EQ(boxes[0].split('|').value(4), alreadyRunning);
  EXPECT_EQ(boxes[0].split('|').value(1), "warning");
  EXPECT_EQ(timeRequests(site), requestsBefore);
  EXPECT_EQ(folderState(), before);
  EXPECT_EQ(readFile(windirPath("tarnwick.ini")), iniBefore);
  EXPECT_TRUE(first.state() == QProcess::Running);

  // The first one killed, the next start goes on.
  first.kill();
  first.waitForFinished(5000);
  QProcess third;
  start(third, TARN11_PROGRAM, {}, "* => OK\n", "third");
  EXPECT_TRUE(waitFor([&] { return timeRequests(site) > requestsBefore; }, 15000));
  third.kill();
  third.waitForFinished(5000);
  EXPECT_TRUE(dialogLines("third").isEmpty()) << dialogLines("third").join('\n').toStdString();
}

// A start tidies the hidden temporaries that cut-short saves of its own files left behind, once
// it holds the folder: the names that carry the saves' mark. The agent's files and every other
// name (one without the mark, or with it out of place) are left alone.
TEST_F(PortalRestartTest, StartRemovesTheTemporariesItsCutShortSavesLeft) {
  const QStringList own = {
      ".lvshowall.txt.tarnwick-save.a1B2c3", ".lvAllTdate.txt.tarnwick-save.ZZZZZZ",
      ".groups.tnq.tarnwick-save.000000",    ".BID.TDL.tarnwick-save.qwErty",
      ".cancPAIR.TDL.tarnwick-save.abc123",  ".0.613541666666667logger.txt.tarnwick-save.Ab12Cd",
      ".errlog.txt.tarnwick-save.xYz789",    ".offset.htm.tarnwick-save.k9k9k9",
      ".win.jnl.tarnwick-save.jjjjjj",       ".temp.tmp.tarnwick-save.abc123"};
  const QStringList others = {".newgrid.lv.tarnwick-save.abc123",
                              ".220000000101.dsp.tarnwick-save.abc123",
                              ".refresh.tmp.tarnwick-save.abc123",
                              ".notes.txt.tarnwick-save.abc123",
                              ".lvshowall.txt.tarnwick-save.abc12",
                              ".lvshowall.txt.tarnwick-save.ab-123",
                              "lvshowall.txt.tarnwick-save.abc123",
                              ".lvshowall.txt.a1B2c3",
                              ".newgrid.lv.abc123",
                              ".220000000101.dsp.abc123",
                              ".lvshowall.txt.abc12",
                              ".lvshowall.txt.abc1234",
                              ".lvshowall.txt.ab-123",
                              "lvshowall.txt.abc123",
                              ".notes.txt.abc123",
                              ".refresh.tmp.abc123"};
  for (const QString& name : own + others) writeFile(workPath(name), "x");
  tarnwick::tools::PracticeSite site;
  writeIni(site, "cbLogFile=1\r\n");
  QProcess portal;
  start(portal, TARN11_PROGRAM);
  ASSERT_TRUE(waitFor([&] { return readFile(traceLogFile()).contains("TAG:formShow2()"); }, 15000));
  portal.kill();
  portal.waitForFinished(5000);
  for (const QString& name : own) EXPECT_FALSE(QFile::exists(workPath(name))) << name.toStdString();
  for (const QString& name : others)
    EXPECT_TRUE(QFile::exists(workPath(name))) << name.toStdString();
}

// The saved pages' temporaries, which the agent makes too, go only while no agent runs. (The
// agent's window is stood in for here for a moment only: it is seen by every program of the
// user.)
TEST_F(PortalRestartTest, SavedPagesTemporariesGoOnlyWhileNoAgentRuns) {
  const QString page = ".220000000101.tnw.tarnwick-save.Qw12Er";
  writeFile(workPath(page), "x");
  {
    const WindowCaptionRegistration agent = RegisterWindowCaption("Tarnwick Refresh Data Agent");
    removeLeftTemporaries();
  }
  EXPECT_TRUE(QFile::exists(workPath(page)));
  const auto agentRuns = [] { return FindWindowA(nullptr, "Tarnwick Refresh Data Agent"); };
  if (!waitFor([&] { return !agentRuns(); }, 30000))
    GTEST_SKIP() << "an agent of another test runs";
  removeLeftTemporaries();
  EXPECT_FALSE(QFile::exists(workPath(page)));
}

// A buyer's own hidden files beside the lists (a copy of the watch list, of the groups, of a
// page) are never taken for the programs' temporaries, whatever their names, while the
// temporaries that saves cut short in the middle did leave go: the portal's at its next start,
// the agent's at its next run.
TEST_F(PortalRestartTest, UsersHiddenFilesOutlastBothProgramsAndCutShortSavesTemporariesGo) {
  const QStringList users = {
      ".lvshowall.txt.backup",    ".groups.tnq.2024ok",       ".errlog.txt.Backup",
      ".lvAllTdate.txt.Sunday",   ".newgrid.lv.mycopy",       ".refresh.tmp.keep12",
      ".220000000101.dsp.backup", ".220000000101.tnw.backup", ".temp.tmp.backup",
      ".BID.TDL.backup",          ".cancPAIR.TDL.backup",     ".win.jnl.backup",
      ".offset.htm.abc123",       ".lvshowall.txt.a1B2c3"};
  const auto bytesOf = [](const QString& name) { return "kept by the buyer: " + name.toUtf8(); };
  for (const QString& name : users) writeFile(workPath(name), bytesOf(name));
  const auto hiddenFiles = [&](const QString& target) {
    QStringList names = QDir(work_).entryList({"." + target + ".*"}, QDir::Files | QDir::Hidden);
    for (const QString& name : users) names.removeAll(name);
    return names;
  };
  ASSERT_TRUE(QFile::copy(QStringLiteral(FRESH_DIR) + "/dummy.htm", workPath("dummy.htm")));
  const QByteArray list = "220000000101\r\n0.00\r\nT\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nIND\r\n";
  writeFile(workPath("lvshowall.txt"), list);
  const auto runToItsEnd = [&](const QString& program, const QByteArray& dialogScript) {
    QProcess process;
    start(process, program, {}, dialogScript);
    return process.waitForFinished(60000) ? process.exitStatus() : QProcess::ExitStatus(-1);
  };

  // The portal dies in the save of the watch list that its close makes (the site cannot be
  // reached: Abort closes the portal), the agent in the save of its grid.
  extraEnvironment_ = {{"TARNWICK_TEST_KILL_IN_SAVE", "lvshowall.txt"}};
  ASSERT_EQ(runToItsEnd(TARN11_PROGRAM, "Error calculating => Abort\n"), QProcess::CrashExit);
  ASSERT_EQ(hiddenFiles("lvshowall.txt").size(), 1) << "the cut-short save left its temporary";
  EXPECT_EQ(readFile(workPath("lvshowall.txt")), list);
  tarnwick::tools::PracticeSite site;
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\ncbLogFile=1\r\n");
  extraEnvironment_ = {{"TARNWICK_TEST_KILL_IN_SAVE", "newgrid.lv"}};
  ASSERT_EQ(runToItsEnd(FRESH_PROGRAM, "* => OK\n"), QProcess::CrashExit);
  ASSERT_EQ(hiddenFiles("newgrid.lv").size(), 1) << "the cut-short save left its temporary";

  // The next start of each removes its own temporary and nothing else.
  extraEnvironment_.clear();
  removeTraceLogs();
  QProcess portal;
  start(portal, TARN11_PROGRAM);
  const bool started =
      waitFor([&] { return readFile(traceLogFile()).contains("TAG:formShow2()"); }, 30000);
  portal.kill();
  portal.waitForFinished(5000);
  ASSERT_TRUE(started);
  EXPECT_EQ(hiddenFiles("lvshowall.txt"), QStringList());
  EXPECT_EQ(hiddenFiles("newgrid.lv").size(), 1) << "the agent's own is left to the agent";
  ASSERT_EQ(runToItsEnd(FRESH_PROGRAM, "* => OK\n"), QProcess::NormalExit);
  EXPECT_TRUE(readFile(workPath("newgrid.lv")).startsWith("220000000101\r\n"));
  EXPECT_EQ(hiddenFiles("newgrid.lv"), QStringList());
  for (const QString& name : users)
    EXPECT_EQ(readFile(workPath(name)), bytesOf(name)) << name.toStdString();
  const QStringList boxes = dialogLines();
  ASSERT_EQ(boxes.size(), 1) << boxes.join('\n').toStdString();
  EXPECT_TRUE(boxes[0].endsWith("Error calculating eBay time offset.  Error # 1221-2358.||Abort"));
}

// A win lessens its group once, whatever moment the portal is killed at: here between the save
// of the lessened count and that of the won row (the test seam kills the portal right after
// "groups.tnq" is saved). The restart finishes the win, writes the satisfied group's cancel
// file again, and its refresh, which brings the win once more, counts nothing.
TEST_F(PortalRestartTest, AWinKilledBetweenItsTwoSavesLessensItsGroupOnce) {
  tarnwick::tools::PracticeSite site;
  ASSERT_TRUE(QFile::copy(FRESH_PROGRAM, workPath("rerav.iru")));
  ASSERT_TRUE(QFile::copy(QStringLiteral(FRESH_DIR) + "/dummy.htm", workPath("dummy.htm")));
  writeFile(workPath("lvshowall.txt"),
            "220000000401\r\n0.00\r\nC\r\n1.00\r\n0\r\n1\r\nACTIVE\r\nUSD\r\nPAIR\r\n"
            "220000000102\r\n5.00\r\nB\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nPAIR\r\n");
  writeFile(workPath("groups.tnq"), "IND\r\nalone\r\n1\r\nPAIR\r\none of two\r\n1\r\n");
  const QByteArray satisfied = "IND\r\nalone\r\n1\r\nPAIR\r\none of two\r\n0\r\n";

  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=2\r\n");
  extraEnvironment_ = {{"TARNWICK_TEST_KILL_AFTER_SAVE", "groups.tnq"}};
  QProcess first;
  start(first, TARN11_PROGRAM);
  // (An agent of another test that runs meanwhile holds the refresh back until it closes.)
  ASSERT_TRUE(first.waitForFinished(120000));
  ASSERT_EQ(first.exitStatus(), QProcess::CrashExit);
  ASSERT_EQ(readFile(workPath("groups.tnq")), satisfied);
  ASSERT_FALSE(readFile(workPath("lvshowall.txt")).contains("WON")) << "killed between the saves";

  extraEnvironment_.clear();
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=2\r\ncbLogFile=1\r\n");
  const bool refreshed =
      runUntilLogged("TAG:loadFreshGridData()", "TAG:TfrmMain::calcTotals()", 120000);
  ASSERT_TRUE(refreshed) << readFile(traceLogFile()).right(3000).constData();
  EXPECT_EQ(readFile(workPath("groups.tnq")), satisfied);
  EXPECT_TRUE(readFile(workPath("lvshowall.txt")).contains("\r\nWON\r\nUSD\r\nPAIR\r\n"));
  EXPECT_EQ(readFile(workPath("cancPAIR.TDL")), "220000000401\r\n220000000102\r\n");
}

// "&Change" that raises a satisfied group's count removes its cancel file before it saves the
// count, so a kill at that save leaves no cancel file of a group that wants wins: killed right
// after it, the raised count is saved and the file gone; killed in it, the old count stays and
// the next start writes the file again. A start also removes a cancel file that a kill left for a
// group that wants wins (as one left it when the save came first), and keeps one of a name that
// is no group.
TEST_F(PortalRestartTest, ARaisedCountKilledAtItsSaveLeavesNoCancelFileOfAGroupThatWantsWins) {
  tarnwick::tools::PracticeSite site;
  writeIni(site, "edtRefreshInterval=100000\r\ncbLogFile=1\r\n");
  writeFile(rootPath("actions"), "change PAIR 2\n");
  const QByteArray cancel = "220000000101\r\n220000000102\r\n";
  const QByteArray satisfied = "IND\r\nalone\r\n1\r\nPAIR\r\ntwo\r\n0\r\n";
  const struct {
    const char* seam;
    QByteArray savedGroups;
    bool cancelAfterRestart;
  } cases[] = {
      {"TARNWICK_TEST_KILL_AFTER_SAVE", "IND\r\nalone\r\n1\r\nPAIR\r\ntwo\r\n2\r\n", false},
      {"TARNWICK_TEST_KILL_IN_SAVE", satisfied, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seam);
    writeFile(workPath("lvshowall.txt"),
              "220000000101\r\n0.00\r\nA\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nPAIR\r\n"
              "220000000102\r\n0.00\r\nB\r\n1.00\r\n0\r\n1\r\n2 days\r\nUSD\r\nPAIR\r\n");
    writeFile(workPath("groups.tnq"), satisfied);
    writeFile(workPath("cancPAIR.TDL"), cancel);
    QFile::remove(rootPath("actions.log"));
    extraEnvironment_ = {{c.seam, "groups.tnq"}};
    QProcess first;
    start(first, DRIVEN_PORTAL_PROGRAM, {rootPath("actions"), rootPath("actions.log")});
    ASSERT_TRUE(first.waitForFinished(60000));
    ASSERT_EQ(first.exitStatus(), QProcess::CrashExit);
    ASSERT_TRUE(readFile(rootPath("actions.log")).contains("ready"));
    EXPECT_EQ(readFile(workPath("groups.tnq")), c.savedGroups);
    EXPECT_FALSE(QFile::exists(workPath("cancPAIR.TDL")));

    // A cancel file as a kill could leave it before, and one of a name that is no group.
    if (!c.cancelAfterRestart) writeFile(workPath("cancPAIR.TDL"), cancel);
    writeFile(workPath("cancGONE.TDL"), "220000000109\r\n");
    extraEnvironment_.clear();
    // Until the first tick after the second stage: the start's work on the files is done.
    ASSERT_TRUE(runUntilLogged("TAG:formShow2()", "TAG:tmrDynaTimerTimer", 30000));
    EXPECT_EQ(readFile(workPath("groups.tnq")), c.savedGroups);
    EXPECT_EQ(readFile(workPath("cancPAIR.TDL")), c.cancelAfterRestart ? cancel : QByteArray());
    EXPECT_EQ(QFile::exists(workPath("cancPAIR.TDL")), c.cancelAfterRestart);
    EXPECT_EQ(readFile(workPath("cancGONE.TDL")), "220000000109\r\n");
  }
}

// Every change of the watch list is saved at once: after a kill, a snipe set to zero and a
// deleted auction do not come back, and an auction added with its snipe amount is there. The
// restart (on a clock twenty times faster, so its first dispatch check comes within seconds)
// hands only that one to the sniper.
TEST_F(PortalRestartTest, EditsAndAddsMadeBeforeAKillAreThereAfterIt) {
  tarnwick::tools::PracticeSite site;
  for (const char* item : {"220000000701", "220000000702", "220000000703"})
    site.control(std::string("item=") + item + "&state=live&ends_in=900");
  tarnwick::tools::stageFakes(work_.toStdString());
  ASSERT_TRUE(QFile::copy(QStringLiteral(TARN11_DIR) + "/dummy.htm", workPath("dummy.htm")));
  FormatSettings().ShortDateFormat = "mm/dd/yy";
  FormatSettings().LongTimeFormat = "hh:mm:ss";
  const QByteArray end = DateTimeToStr(Now() + 15 * OneMinute).c_str();
  writeFile(workPath("lvshowall.txt"),
            "220000000701\r\n5.00\r\nA\r\n1.00\r\n0\r\n1\r\n15m\r\nUSD\r\nIND\r\n"
            "220000000702\r\n5.00\r\nB\r\n1.00\r\n0\r\n1\r\n15m\r\nUSD\r\nIND\r\n");
  writeFile(workPath("lvAllTdate.txt"),
            "220000000701\r\n" + end + "\r\n1\r\n220000000702\r\n" + end + "\r\n1\r\n");
  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\n");
  writeFile(rootPath("actions"),
            "zero 220000000701\ndelete 220000000702\nadd 220000000703\n"
            "snipe 220000000703 7.00\n");
  QProcess first;
  start(first, DRIVEN_PORTAL_PROGRAM, {rootPath("actions"), rootPath("actions.log")});
  const bool edited = waitFor(
      [&] { return readFile(rootPath("actions.log")).contains("done snipe 220000000703 7.00"); },
      30000);
  first.kill();
  first.waitForFinished(5000);
  ASSERT_TRUE(edited) << readFile(rootPath("actions.log")).constData();
  const QByteArray list = readFile(workPath("lvshowall.txt"));
  EXPECT_TRUE(list.startsWith("220000000701\r\n0.00\r\n")) << list.constData();
  EXPECT_FALSE(list.contains("220000000702")) << list.constData();
  EXPECT_TRUE(list.contains("\r\n220000000703\r\n7.00\r\n")) << list.constData();

  writeIni(site, "edtEbayMember=tarnbuyer\r\nedtRefreshInterval=100000\r\ncbLogFile=1\r\n");
  const auto sniperStarts = [&] { return readFile(workPath("tnsnip.log")).count('\n'); };
  removeTraceLogs();
  QProcess second;
  start(second, FASTCLOCK_PORTAL_PROGRAM, {"20"});
  const bool checked = waitFor(
      [&] { return readFile(traceLogFile()).contains("TAG:checkDispatchLauncher()"); }, 40000);
  // A second hand-over would come 3 seconds after the first.
  waitFor([&] { return sniperStarts() >= 1; }, 5000);
  waitFor([&] { return sniperStarts() >= 2; }, 5000);
  second.kill();
  second.waitForFinished(5000);
  ASSERT_TRUE(checked);
  EXPECT_EQ(sniperStarts(), 1);
  EXPECT_TRUE(readFile(workPath("tnsnip.1.BID.TDL")).startsWith("220000000703\r\n7\r\n"));
}

}  // namespace
