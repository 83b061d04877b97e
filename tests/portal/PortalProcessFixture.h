#pragma once
// The real programs as processes: offscreen, in the test's temporary working directory, with
// every box answered from a script and logged outside that directory.
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <functional>
#include <utility>
#include <vector>

#include "PortalTestSupport.h"
#include "lib/DateTime.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "tools/testing/PracticeSite.h"

class PortalProcessFixture : public PortalWorkDir {
 protected:
  // The process's boxes are answered from a script and logged, both named after tag and kept
  // outside the working directory.
  void start(QProcess& process, const QString& program, const QStringList& arguments = {},
             const QByteArray& dialogScript = "* => OK\n", const QString& tag = "dialogs") {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!onDisplay_) {
      env.insert("QT_QPA_PLATFORM", "offscreen");
      env.insert("TARNWICK_DIALOG_SCRIPT", rootPath(tag + ".script"));
    }
    env.insert("TARNWICK_WINDIR", windir_);
    env.insert("TARNWICK_DIALOG_LOG", rootPath(tag + ".log"));
    // A missing program would go to the desktop's opener: its recorder stands in.
    env.insert("TARNWICK_OPENER", QString::fromStdString(tarnwick::tools::fakeOpener().string()));
    for (const auto& [name, value] : extraEnvironment_) env.insert(name, value);
    writeFile(rootPath(tag + ".script"), dialogScript);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(runDir_.isEmpty() ? work_ : runDir_);
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForStarted(10000));
  }
  QString traceLogFile() const {
    const QRegularExpression pattern("^\\d[\\d.E-]*logger\\.txt$");
    for (const QString& name : QDir(work_).entryList(QDir::Files))
      if (pattern.match(name).hasMatch()) return workPath(name);
    return {};
  }
  // Removes the trace logs of earlier runs, so that traceLogFile() finds the next run's.
  void removeTraceLogs() const {
    for (QString log = traceLogFile(); !log.isEmpty(); log = traceLogFile())
      if (!QFile::remove(log)) return;
  }
  // Waits up to timeoutMs for done(); its last answer.
  static bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) QThread::msleep(50);
    return done();
  }
  // The real agent in the working directory under the name the portal starts it by, with the
  // blank page, beside the fake sniper; and the portal's end-time formats, in which the test
  // writes end times.
  void stageAgentAndSniper() {
    tarnwick::tools::stageFakes(work_.toStdString());
    ASSERT_TRUE(QFile::copy(FRESH_PROGRAM, workPath("rerav.iru")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(FRESH_DIR) + "/dummy.htm", workPath("dummy.htm")));
    FormatSettings().ShortDateFormat = "mm/dd/yy";
    FormatSettings().LongTimeFormat = "hh:mm:ss";
    stagedAt_ = Now();
  }
  // An end time minutes after the staging, on eBay's clock (the practice site's runs with the
  // local one), as "lvAllTdate.txt" holds it.
  QByteArray endsIn(int minutes) const {
    return QByteArray(DateTimeToStr(stagedAt_ + minutes * OneMinute).c_str());
  }
  // The hosts of the practice site, and the preferences' lines.
  void writeIni(const tarnwick::tools::PracticeSite& site, const QByteArray& prefs) {
    writeFile(windirPath("tarnwick.ini"),
              QByteArray::fromStdString(site.hostsSection()) + "[prefs]\r\n" + prefs);
  }
  QString rootPath(const QString& name) const { return root_.path() + "/" + name; }
  QString runDir_;  // where the programs work when not in work_
  // The programs on the test's X display, their boxes real windows that stay open until they are
  // answered there (the script is not used; the log is kept).
  bool onDisplay_ = false;
  TDateTime stagedAt_;
  std::vector<std::pair<QString, QString>> extraEnvironment_;  // for the next starts
  QStringList dialogLines(const QString& tag = "dialogs") const {
    QStringList lines = QString::fromLatin1(readFile(rootPath(tag + ".log"))).split('\n');
    for (QString& line : lines) line = line.trimmed();
    lines.removeAll(QString());
    return lines;
  }
};
