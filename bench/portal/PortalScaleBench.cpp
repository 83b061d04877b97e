// The portal at 1,000 and 10,000 auctions: the 5-second tick with the totals due and with the
// dispatch check due, the refresh hand-over, one auction added and one updated, each filtered
// view rebuilt and the budget worksheet, each against the same list work done in plain Python
// (portal_peer.py) over the same files, measured in the same run.
//
// Each operation runs with its page shown, as in the program, and its time includes the events
// it leaves behind (the widgets' updates and paints). Rounds alternate between the portal and
// Python; each figure is a median. Prints one line per operation and size with
// "ratio A/B: X.XX", the portal's rate over Python's (Python's time over the portal's), so a
// ratio above 1 means the portal is the faster.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "PortalInWorkDir.h"
#include "ScheduleFlags.h"
#include "WatchListData.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"

namespace {

constexpr int kRounds = 5;
constexpr int kRunsPerRound = 3;
int boxesShown = 0;

// The local clock, moved ahead by shift so that a deadline armed a moment ago has passed.
TDateTime clockShift = 0;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Milliseconds of one run of the portal's operation, its pending events included.
double timeOnce(const std::function<void()>& prepare, const std::function<void()>& operation,
                const std::function<void()>& tidy) {
  prepare();
  Application->ProcessMessages();
  QElapsedTimer timer;
  timer.start();
  operation();
  Application->ProcessMessages();
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  tidy();
  return ms;
}

// Median milliseconds of one Python run, as portal_peer.py reports it.
double pythonOnce(const std::string& peerOperation) {
  const std::string command = std::string(PYTHON3) + " " + PORTAL_PEER + " " + peerOperation + " " +
                              std::to_string(kRunsPerRound);
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot start " + command);
  double ms = -1;
  if (std::fscanf(pipe, "%lf", &ms) != 1) ms = -1;
  if (pclose(pipe) != 0 || ms < 0) throw std::runtime_error("the Python peer failed: " + command);
  return ms;
}

struct Operation {
  const char* name;
  const char* peerOperation;
  const char* goal;  // at 10,000 auctions
  std::function<void()> prepare;
  std::function<void()> run;
  std::function<void()> tidy;
};

void measure(const Operation& op, int count) {
  std::vector<double> ours;
  std::vector<double> python;
  for (int round = 0; round < kRounds; ++round) {
    for (int run = 0; run < kRunsPerRound; ++run)
      ours.push_back(timeOnce(op.prepare, op.run, op.tidy));
    python.push_back(pythonOnce(op.peerOperation));
  }
  const double a = median(ours);
  const double b = median(python);
  std::printf(
      "portal  %-38s %6d auctions %9.2f ms  Python %8.2f ms  ratio A/B: %.2f  (goal at "
      "10,000: %s)\n",
      op.name, count, a, b, b / a, op.goal);
  std::fflush(stdout);
}

void tick() { frmMain->tmrDynaTimerTimer(frmMain->tmrDynaTimer); }

void loadWatchList(int count) {
  bench::writeWatchListFiles(count, Now());
  frmMain->lvShowAll->Items()->Clear();
  frmMain->lvAllTdate->Items()->Clear();
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  frmMain->loadlvAllTdateGrid();
  bench::writeRefreshedGrid(count, "peer-newgrid.lv");
  if (frmMain->lvShowAll->Items()->Count() != count ||
      frmMain->lvAllTdate->Items()->Count() != count)
    throw std::runtime_error("the watch list did not load");
}

std::vector<Operation> operations(int count) {
  const auto nothing = [] {};
  const auto backToMain = [] {
    frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
    frmMain->pcViews->SetActivePage(frmMain->tsGridAll);
  };
  const auto settle = [] {
    clockShift = 0;
    lowerEveryScheduleFlag();
  };
  const std::string updated = bench::itemNumber(count / 2) + ".tnw";
  const std::string added = "239999999999.tnw";
  bench::writeItemPage(bench::itemNumber(count / 2), updated);
  bench::writeItemPage("239999999999", added);

  std::vector<Operation> list = {
      {"5-second tick, totals due", "totals", "under 20 ms",
       [] {
         frmMain->SetdoRecalc(true);
         clockShift = 2 * OneMinute;
       },
       tick, settle},
      {"5-second tick, dispatch check due", "dispatch", "under 30 ms",
       [] {
         frmMain->SetdoRecalc(true);
         frmMain->SetdoDispatchLaunchCheck(true);
         clockShift = 5 * OneMinute;
       },
       tick, settle},
      {"refresh hand-over (newgrid.lv, totals)", "handover", "under 100 ms",
       [count] {
         bench::writeRefreshedGrid(count, "newgrid.lv");
         frmMain->SetseekingRefreshData(true);
       },
       tick, settle},
      {"one auction updated", "update", "under 20 ms", nothing,
       [updated] { frmMain->addUpdateLVfromTNW(frmMain->lvShowAll, updated.c_str()); }, nothing},
      {"one auction added", "add", "under 20 ms", nothing,
       [added] { frmMain->addUpdateLVfromTNW(frmMain->lvShowAll, added.c_str()); },
       [] {
         frmMain->lvShowAll->Items()->Delete(frmMain->lvShowAll->Items()->Count() - 1);
         frmMain->lvAllTdate->Items()->Delete(frmMain->lvAllTdate->Items()->Count() - 1);
         frmMain->savelvAllTDateToText();
       }},
  };
  const struct {
    const char* name;
    const char* peer;
    TTabSheet* page;
  } views[] = {{"view rebuilt: Active Outbid", "view-outbid", frmMain->tsViewActOut},
               {"view rebuilt: High Bidder", "view-high", frmMain->tsHighBidder},
               {"view rebuilt: Waiting To Bid", "view-waiting", frmMain->tsActiveWaitingToBid},
               {"view rebuilt: Lost", "view-lost", frmMain->tsClosedLost},
               {"view rebuilt: Won", "view-won", frmMain->tsClosedWon}};
  for (const auto& view : views) {
    TTabSheet* page = view.page;
    list.push_back({view.name, view.peer, "under 30 ms", backToMain,
                    [page] { frmMain->pcViews->SetActivePage(page); }, backToMain});
  }
  list.push_back({"budget worksheet", "worksheet", "under 50 ms", backToMain,
                  [] { frmMain->AddAllToWorksheet1Click(frmMain->AddAllToWorksheet1); },
                  backToMain});
  return list;
}

}  // namespace

// Usage: bench_portal_scale [WORD]: only the operations whose name holds WORD.
int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  const bench::PortalInWorkDir portal;
  SetDialogResponder([](const DialogRequest& request) {
    ++boxesShown;
    return DefaultDialogAnswer(request);
  });
  const TDateTime start = Now();
  QElapsedTimer sinceStart;
  sinceStart.start();
  SetClock([&] {
    return start + static_cast<double>(sinceStart.nsecsElapsed()) / 1e9 * OneSecond + clockShift;
  });
  // The window on screen, as in a run; its start-up work is not what is measured here.
  firstShow = false;
  frmMain->Show();
  frmMain->PageControl1->SetActivePage(frmMain->tsShowAll);
  frmMain->pcViews->SetActivePage(frmMain->tsGridAll);
  lowerEveryScheduleFlag();

  try {
    for (int count : {1000, 10000}) {
      loadWatchList(count);
      for (const Operation& op : operations(count))
        if (std::string(op.name).find(only) != std::string::npos) measure(op, count);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_portal_scale: %s\n", error.what());
    return 1;
  }
  if (boxesShown > 0) std::fprintf(stderr, "bench_portal_scale: %d boxes shown\n", boxesShown);
  SetDialogResponder({});
  SetClock({});
  return 0;
}
