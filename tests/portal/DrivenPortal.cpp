// tarn11 driven by a script of a buyer's actions, for the tests that kill the real portal in the
// middle of its work. It is tarn11 (the same start-up, schedule and handlers); only the mouse
// and the keyboard are replaced by the script, whose actions press the same buttons and menu
// items and type into the same boxes.
//
//   tarn11_driven SCRIPT LOG [FACTOR]
//
// FACTOR, when given, runs the local clock that many times faster than the real one (see
// FastClock.h), so that the schedule's minutes pass in seconds.
//
// SCRIPT holds one action a line, run in order, each once the one before has finished:
//   add ITEM            types the item number into its box and presses OK; finished once the
//                       browser is idle again
//   snipe ITEM AMOUNT [HOLD_MS]
//                       selects the row, chooses "Enter / Update Snipe Amount" and types AMOUNT;
//                       with HOLD_MS the box stays open that long first (its loop runs the
//                       schedule meanwhile), as while a buyer takes his time
//   qty ITEM N          selects the row, chooses "Enter Quanity To Bid On" and types N
//   zero ITEM           selects the row and chooses "Set Snipe Amount To Zero."
//   group ITEM NAME     selects the row, chooses "Select Item Group" and picks NAME
//   delete ITEM         selects the row and chooses "Delete"
//   change GROUP N      clicks the group's row on "Manage Item Groups", types N as its count
//                       and presses "&Change"
//   check               runs the dispatch check (the command bar's hidden "launch snipe" button)
//   wait MS             waits
// LOG receives "ready" once the start-up is done, then "done " + the action once it has
// finished ("skipped " + the action when its row is not in the watch list; "timeout " + an add
// that has not finished within 20 seconds, which ends the script), and "box " + the text of
// every box as it is answered. Every box is answered with its first button; an input
// box gets the action's text.
#include <fcntl.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FastClock.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "forms/Timer.h"
#include "portal/Commander.h"
#include "portal/PortalMain.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"

namespace {

constexpr int stepMs = 20;
constexpr int addTimeoutMs = 20000;

class Driver {
 public:
  Driver(const std::string& scriptPath, std::string logPath) : logPath_(std::move(logPath)) {
    std::ifstream script(scriptPath);
    for (std::string line; std::getline(script, line);)
      if (!line.empty()) actions_.push_back(line);
  }

  void start() {
    SetDialogResponder([this](const DialogRequest& request) {
      log("box " + request.text.str());
      DialogAnswer answer = DefaultDialogAnswer(request);
      if (request.kind == DialogKind::Input) {
        holdOpen();
        answer = {mrOk, typed_};
      }
      return answer;
    });
    timer_ = new TTimer(frmMain);
    timer_->SetInterval(stepMs);
    timer_->OnTimer = [this](TObject*) { step(); };
    log("ready");
    timer_->SetEnabled(true);
  }

 private:
  // One step of the timer: waits for the running action, or runs the next one.
  void step() {
    if (waitingMs_ > 0) {
      waitingMs_ -= stepMs;
      if (waitingMs_ > 0 && !(addPending_ && frmMain->GetcurrBroAction() == actIdle)) return;
      const bool timedOut = waitingMs_ <= 0 && addPending_;
      log((timedOut ? "timeout " : "done ") + actions_[next_ - 1]);
      addPending_ = false;
      waitingMs_ = 0;
      if (timedOut) next_ = actions_.size();  // what follows would act on a row not there
    }
    if (next_ >= actions_.size()) {
      timer_->SetEnabled(false);
      return;
    }
    const std::string action = actions_[next_++];
    // The timer does not tick again inside the action's boxes.
    timer_->SetEnabled(false);
    run(action);
    timer_->SetEnabled(true);
  }

  // Runs the events of the open box's loop for the action's hold.
  void holdOpen() {
    const int ms = std::exchange(holdMs_, 0);
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < ms) {
      Application->ProcessMessages();
      QThread::msleep(5);
    }
  }

  void run(const std::string& action) {
    std::istringstream words(action);
    std::string verb, item, value;
    words >> verb >> item >> value;
    if (!(words >> holdMs_)) holdMs_ = 0;
    if (verb == "wait") {
      waitingMs_ = std::stoi(item);
      return;
    }
    if (verb == "add") {
      frmMain->edtNewItem->SetText(item.c_str());
      frmMain->btnEnterItemNum->Click();
      addPending_ = true;
      waitingMs_ = addTimeoutMs;
      return;
    }
    if (verb == "check") {
      frmCommand->Button3->Click();
      log("done " + action);
      return;
    }
    if (verb == "change") {
      TListItem* group = findRowByCaption(frmMain->lvGroups, item.c_str());
      if (!group) {
        log("skipped " + action);
        return;
      }
      frmMain->lvGroups->SetSelected(group);
      frmMain->lvGroupsClick(frmMain->lvGroups);
      frmMain->edtGrpHowMany->SetText(value.c_str());
      frmMain->btnChange->Click();
      log("done " + action);
      return;
    }
    TListItem* row = findRowByCaption(frmMain->lvShowAll, item.c_str());
    if (!row) {
      log("skipped " + action);
      return;
    }
    frmMain->lvShowAll->SetSelected(row);
    typed_ = value.c_str();
    if (verb == "snipe") {
      frmMain->EditSnipeAmount1->Click();
    } else if (verb == "qty") {
      frmMain->EnterQuanityToBidOn1->Click();
    } else if (verb == "zero") {
      frmMain->Setsnipeamounttozero1->Click();
    } else if (verb == "group") {
      frmMain->EditItemGroup1->Click();
      frmMain->comGroup->SetText(value.c_str());
      if (frmMain->comGroup->OnChange) frmMain->comGroup->OnChange(frmMain->comGroup);
    } else if (verb == "delete") {
      frmMain->Delete1->Click();
    } else {
      log("unknown " + action);
      return;
    }
    log("done " + action);
  }

  // One write a line, so a kill never leaves half a line.
  void log(const std::string& line) {
    const int fd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const std::string bytes = line + "\n";
    (void)!write(fd, bytes.data(), bytes.size());
    close(fd);
  }

  std::string logPath_;
  std::vector<std::string> actions_;
  std::size_t next_ = 0;
  TTimer* timer_ = nullptr;
  int waitingMs_ = 0;
  bool addPending_ = false;
  AnsiString typed_;
  int holdMs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (argc > 3) runLocalClockFast(std::stod(argv[3]));
  Driver driver(argv[1], argv[2]);
  return runPortal([&driver] { driver.start(); });
}
