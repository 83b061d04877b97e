#pragma once
// The main window in-process: both forms made once for the test program, inside a temporary
// folder of their own (the trace log of their construction lands there, and the stored
// official-time address points at loopback), both lists emptied before each test, and every
// box recorded and answered from a queue of answers (the box's default once the queue is
// empty).
#include <QElapsedTimer>
#include <QThread>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "PortalTestSupport.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "lib/FormatSettings.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"

class MainWindowFixture : public PortalWorkDir {
 protected:
  static void SetUpTestSuite() {
    if (frmMain) return;
    static TempWorkingFolder formsHome;
    writeLoopbackHosts(formsHome);
    formsHome.enter();
    Application->Initialize();
    Application->CreateForm(frmMain);
    Application->CreateForm(frmCommand);
    formsHome.leave();
  }
  void SetUp() override {
    PortalWorkDir::SetUp();
    boxes_.clear();
    answers_.clear();
    SetDialogResponder([this](const DialogRequest& request) {
      boxes_.push_back(request);
      if (answers_.empty()) return DefaultDialogAnswer(request);
      DialogAnswer answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
    frmMain->lvShowAll->Items()->Clear();
    frmMain->lvAllTdate->Items()->Clear();
    frmMain->edtEbayMember->SetText("");
    // The end-time formats the portal sets at start-up, with fixed separators.
    FormatSettings().ShortDateFormat = "mm/dd/yy";
    FormatSettings().LongTimeFormat = "hh:mm:ss";
    FormatSettings().DateSeparator = '/';
    FormatSettings().TimeSeparator = ':';
    FormatSettings().DecimalSeparator = '.';
    FormatSettings().ThousandSeparator = ',';
  }
  void TearDown() override {
    SetDialogResponder({});
    PortalWorkDir::TearDown();
  }

  // Runs the event loop until done() holds; false when timeoutMs passes first.
  static bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
      if (clock.elapsed() > timeoutMs) return false;
      Application->ProcessMessages();
      QThread::msleep(2);
    }
    return true;
  }
  // The file's bytes once it holds at least lines complete lines (what it holds after
  // timeoutMs otherwise), for the logs that started programs append to.
  static QByteArray awaitLines(const QString& path, int lines, int timeoutMs = 5000) {
    QByteArray bytes;
    pumpUntil(
        [&] {
          bytes = readFile(path);
          return bytes.count('\n') >= lines;
        },
        timeoutMs);
    return bytes;
  }
  // Appends a row with its caption and cells.
  static TListItem* addRow(TListView* view, const std::vector<std::string>& cells) {
    TListItem* row = view->Items()->Add();
    row->SetCaption(cells.front());
    for (std::size_t i = 1; i < cells.size(); ++i) row->SubItems()->Add(cells[i]);
    return row;
  }
  // A full watch-list row: item, snipe amount, title, current, bids, qty, ends, currency, group.
  static TListItem* addWatched(const std::string& item, const std::string& ends = "2 days") {
    return addRow(frmMain->lvShowAll,
                  {item, "0.00", "Title " + item, "12.50", "7", "1", ends, "USD", "IND"});
  }
  // The caption and the cells of a row.
  static std::vector<std::string> cellsOf(const TListItem* row) {
    std::vector<std::string> cells{row->Caption().str()};
    for (int i = 0; i < row->SubItems()->Count(); ++i)
      cells.push_back(row->SubItems()->Strings(i).str());
    return cells;
  }
  static std::vector<std::string> captionsOf(TListView* view) {
    std::vector<std::string> captions;
    for (int i = 0; i < view->Items()->Count(); ++i)
      captions.push_back(view->Items()->Item(i)->Caption().str());
    return captions;
  }
  // The texts of the boxes shown so far.
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const DialogRequest& box : boxes_) texts.push_back(box.text.str());
    return texts;
  }
  void answerInput(const std::string& text) { answers_.push_back({mrOk, text}); }
  void answerCancel() { answers_.push_back({mrCancel, {}}); }

  std::vector<DialogRequest> boxes_;
  std::deque<DialogAnswer> answers_;
};
