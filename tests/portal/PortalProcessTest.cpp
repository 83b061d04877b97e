// The real tarn11 (and a build of it with a failing handler) as processes: offscreen, in a
// temporary working directory, with every dialog logged.
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include "PortalTestSupport.h"
#include "tools/testing/PracticeSite.h"

namespace {

constexpr const char* supportSentence =
    " A general error occured. Contact Holvex support.  Check you have the latest version of "
    "software.";

class PortalProcessTest : public PortalWorkDir {
 protected:
  void start(QProcess& process, const QString& program, const QStringList& arguments = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TARNWICK_WINDIR", windir_);
    env.insert("TARNWICK_DIALOG_LOG", workPath("dialogs.log"));
    env.insert("TARNWICK_DIALOG_SCRIPT", workPath("dialogs.script"));
    writeFile(workPath("dialogs.script"), "* => OK\n");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(work_);
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForStarted(10000));
  }
  QString traceLogFile() const {
    const QRegularExpression pattern("^0\\.\\d{1,15}logger\\.txt$");
    for (const QString& name : QDir(work_).entryList(QDir::Files))
      if (pattern.match(name).hasMatch()) return workPath(name);
    return {};
  }
  QStringList dialogLines() const {
    QStringList lines = QString::fromLatin1(readFile(workPath("dialogs.log"))).split('\n');
    lines.removeAll(QString());
    return lines;
  }
};

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

}  // namespace
