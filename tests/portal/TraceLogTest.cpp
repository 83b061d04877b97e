#include "portal/TraceLog.h"

#include <QFile>
#include <string>
#include <vector>

#include "PortalTestSupport.h"
#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"

namespace {

class TraceLogTest : public PortalWorkDir {};

TEST_F(TraceLogTest, FileNameIsTheTimeOfDayFractionFollowedByLogger) {
  FormatSettings().DecimalSeparator = '.';
  // 14:43:30 is 0.613541666... of a day; the date part of a date-time is dropped.
  EXPECT_EQ(traceLogFileName(TDateTime(0.6135416666666667)).str(), "0.613541666666667logger.txt");
  EXPECT_EQ(traceLogFileName(TDateTime(46000.25)).str(), "0.25logger.txt");
  EXPECT_EQ(traceLogFileName(TDateTime(0.5)).str(), "0.5logger.txt");
}

TEST_F(TraceLogTest, EachLineIsAppendedAndTheWholeLogSavedAfterIt) {
  TStringList lines;
  appendTraceLine(lines, "run.txt", "TAG:FormShow(TObject *Sender)");
  appendTraceLine(lines, "run.txt", "TAG      :lvShowAllColumnClick(TObject *Sender,");
  EXPECT_EQ(readFile(workPath("run.txt")),
            "TAG:FormShow(TObject *Sender)\r\nTAG      :lvShowAllColumnClick(TObject *Sender,\r\n");
  EXPECT_EQ(lines.Count(), 2);
}

TEST_F(TraceLogTest, TextOfExactlyTheLimitIsKeptWhole) {
  TStringList lines;
  // The line and its CR LF make exactly 1,000,000 characters.
  appendTraceLine(lines, "run.txt", std::string(traceLogLimit - 2, 'a'));
  EXPECT_EQ(lines.Text().Length(), traceLogLimit);
  EXPECT_EQ(readFile(workPath("run.txt")).size(), traceLogLimit);
}

TEST_F(TraceLogTest, OneCharacterPastTheLimitCutsToTheLast500AfterTheSave) {
  TStringList lines;
  const std::string line = std::string(traceLogLimit - 600, 'a') + std::string(596, 'b') + "xyz";
  appendTraceLine(lines, "run.txt", line);
  // The cut falls inside the line, not at a line boundary.
  EXPECT_EQ(lines.Text().str(), std::string(495, 'b') + "xyz\r\n");
  // The file keeps the longer text until the next line is logged.
  EXPECT_EQ(readFile(workPath("run.txt")).size(), traceLogLimit + 1);
  appendTraceLine(lines, "run.txt", "TAG:next()");
  EXPECT_EQ(readFile(workPath("run.txt")).toStdString(),
            std::string(495, 'b') + "xyz\r\nTAG:next()\r\n");
}

// After every line the file holds exactly what saving the whole list would have left, across
// cuts, lines with breaks of their own, empty lines, and a file deleted, shortened or grown
// from outside between two lines.
TEST_F(TraceLogTest, FileHoldsWhatAWholeSaveGivesThroughCutsAndOutsideChanges) {
  TStringList lines;
  TStringList whole;  // the log as a save of the whole list after each line keeps it
  const QString path = workPath("run.txt");
  const std::string big(150000, 'x');
  const std::vector<std::string> script = {"TAG:FormShow(TObject *Sender)",
                                           "",
                                           "two\r\nlines",
                                           "\nled by a break",
                                           "cr\rlf\n",
                                           big + "a",
                                           "!delete",
                                           big + "b",
                                           big + "c",
                                           "!shorten",
                                           big + "d",
                                           big + "e",
                                           "!grow",
                                           big + "f",
                                           big + "g",
                                           "short",
                                           "!delete",
                                           "after the cut",
                                           big + "h"};
  for (const std::string& step : script) {
    if (step == "!delete") {
      QFile::remove(path);
      continue;
    }
    if (step == "!shorten" || step == "!grow") {
      const QByteArray now = readFile(path);
      writeFile(path, step == "!grow" ? now + "zz" : now.left(now.size() / 2));
      continue;
    }
    appendTraceLine(lines, "run.txt", step);
    whole.SetText(whole.Text() + step);
    ASSERT_EQ(readFile(path).toStdString(), whole.Text().str()) << "after " << step.substr(0, 20);
    if (whole.Text().Length() > traceLogLimit) whole.SetText(RightStr(whole.Text(), traceLogKeep));
    ASSERT_EQ(lines.Text().str(), whole.Text().str());
  }
}

TEST_F(TraceLogTest, FailedSaveIsIgnoredAndTheLineStaysInMemory) {
  TStringList lines;
  appendTraceLine(lines, "no-such-folder/run.txt", "TAG:formShow2()");
  EXPECT_EQ(lines.Text().str(), "TAG:formShow2()\r\n");
}

}  // namespace
