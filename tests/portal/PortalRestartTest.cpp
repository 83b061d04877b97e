// The real tarn11 across kills, crashes and second starts: one portal at a time in a folder,
// what a restart finds and finishes, and what it tidies away.
#include <signal.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "PortalProcessFixture.h"

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
  // An agent that only shows it was started and then stays a while, as a slow agent would.
  void stageSleepingAgent() {
    writeFile(workPath("rerav.iru"), "#!/bin/sh\necho started >> agent.log\nsleep 30\n");
    QFile::setPermissions(workPath("rerav.iru"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
// killed the next start goes on, also while a program the killed one started still runs.
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

  // The first one killed, the next start goes on; it starts a slow agent and is killed too,
  // and the start after it goes on while that agent still runs.
  first.kill();
  first.waitForFinished(5000);
  stageSleepingAgent();
  writeIni(site, "edtRefreshInterval=1\r\n");
  QProcess third;
  start(third, TARN11_PROGRAM, {}, "* => OK\n", "third");
  EXPECT_TRUE(waitFor([&] { return readFile(workPath("agent.log")).contains("started"); }, 20000));
  third.kill();
  third.waitForFinished(5000);
  EXPECT_TRUE(dialogLines("third").isEmpty()) << dialogLines("third").join('\n').toStdString();

  const int requestsBeforeFourth = timeRequests(site);
  QProcess fourth;
  start(fourth, TARN11_PROGRAM, {}, "* => OK\n", "fourth");
  EXPECT_TRUE(waitFor([&] { return timeRequests(site) > requestsBeforeFourth; }, 15000));
  fourth.kill();
  fourth.waitForFinished(5000);
  EXPECT_TRUE(dialogLines("fourth").isEmpty()) << dialogLines("fourth").join('\n').toStdString();
}

}  // namespace
