#pragma once
// The main window with a test clock standing in for the local time, every schedule flag
// lowered before and after each test, and the desktop opener replaced by its recorder (a
// refresh that falls due starts the agent, which the shell hands to the opener when the
// program is missing). Deadlines are passed by moving now_ and calling the tick directly. The
// trace lines logged since a mark are read back from the run's log file.
#include <QRegularExpression>
#include <QStringList>
#include <cstdlib>

#include "MainWindowFixture.h"
#include "ScheduleFlags.h"
#include "tools/testing/PracticeSite.h"

class ScheduleFixture : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    now_ = Now();
    SetClock([this] { return now_; });
    setenv("TARNWICK_OPENER", tarnwick::tools::fakeOpener().c_str(), 1);
    lowerEveryScheduleFlag();
    markLog();
  }
  void TearDown() override {
    lowerEveryScheduleFlag();
    unsetenv("TARNWICK_OPENER");
    SetClock({});
    MainWindowFixture::TearDown();
  }
  static void tick() { frmMain->tmrDynaTimerTimer(frmMain->tmrDynaTimer); }
  // An end time seconds after now_, as end-time entries hold it (eBay's clock runs with the
  // local one here).
  AnsiString endIn(double seconds) const { return DateTimeToStr(now_ + seconds * OneSecond); }

  // Marks the trace log: takeLog returns what is logged after this.
  static void markLog() { frmMain->logLine(traceMark); }
  // The trace lines logged since the last mark; marks the log again.
  QStringList takeLog() {
    const QRegularExpression pattern("^\\d[\\d.E-]*logger\\.txt$");
    QByteArray text;
    for (const QString& name : QDir(work_).entryList(QDir::Files))
      if (pattern.match(name).hasMatch()) text = readFile(workPath(name));
    const QByteArray marker = QByteArray(traceMark) + "\r\n";
    const qsizetype at = text.lastIndexOf(marker);
    EXPECT_GE(at, 0) << "the trace log lost its mark";
    const QString since = QString::fromLatin1(text.mid(at + marker.size()));
    markLog();
    return since.split("\r\n", Qt::SkipEmptyParts);
  }
  // How often the trace line is in the log.
  static int calls(const QStringList& log, const char* line) {
    return static_cast<int>(log.count(QString::fromLatin1(line)));
  }

  static constexpr const char* traceMark = "TEST:mark";
  TDateTime now_;
};
