// The portal's file loaders and what reads the values they load: the preferences and the site
// hosts of "tarnwick.ini", the watch list "lvshowall.txt", the end-time list "lvAllTdate.txt",
// the groups "groups.tnq" and the agent's "newgrid.lv", then the totals, the five views, a
// sort by every column, the budget worksheet, and saving and loading both lists again.
// Input: the five files in that order ("lvshowall.txt" first, "tarnwick.ini" last), separated
// by "~~~~"; a file that is not given is not there. Properties: nothing raises out of the
// portal's steps; every loaded row has its cells; a list saved and loaded again is the list
// that was saved (and saves to the same bytes).
#include <QDir>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "lib/FormatSettings.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/SiteHosts.h"

namespace {

constexpr const char* kFiles[] = {"lvshowall.txt", "lvAllTdate.txt", "groups.tnq", "newgrid.lv"};
constexpr std::size_t kMaxFileBytes = 16384;

// A list's rows, each its caption and its cells.
std::vector<std::vector<std::string>> rowsOf(TListView* view) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < view->Items()->Count(); ++i) {
    const TListItem* item = view->Items()->Item(i);
    std::vector<std::string> row{item->Caption().str()};
    for (int c = 0; c < item->SubItems()->Count(); ++c)
      row.push_back(item->SubItems()->Strings(c).str());
    rows.push_back(std::move(row));
  }
  return rows;
}

void requireCells(TListView* view, int cells, const char* list) {
  for (int i = 0; i < view->Items()->Count(); ++i)
    FUZZ_REQUIRE(view->Items()->Item(i)->SubItems()->Count() == cells,
                 std::string("a row of ") + list + " lacks cells");
}

// Saves a list, loads it again and saves it once more: the same rows, the same bytes.
void requireRoundTrip(TListView* view, const char* file, const std::function<void()>& save,
                      const std::function<void()>& load) {
  if (view->Items()->Count() == 0) return;
  save();
  const auto saved = rowsOf(view);
  const std::string bytes = ReadFile(file);
  load();
  FUZZ_REQUIRE(rowsOf(view) == saved, std::string(file) + " loads back other rows");
  save();
  FUZZ_REQUIRE(ReadFile(file) == bytes, std::string(file) + " saves to other bytes");
}

void resetPortal() {
  frmMain->lvShowAll->Items()->Clear();
  frmMain->lvAllTdate->Items()->Clear();
  frmMain->lvGroups->Items()->Clear();
  FormatSettings().ShortDateFormat = "mm/dd/yy";
  FormatSettings().LongTimeFormat = "hh:mm:ss";
  FormatSettings().DateSeparator = '/';
  FormatSettings().TimeSeparator = ':';
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  StartFuzzTarget(QtKind::Widgets);
  MoveIntoTemporaryFolders(*argv);
  Application->CreateForm(frmMain);
  Application->CreateForm(frmCommand);
  frmMain->tmrDynaTimer->SetEnabled(false);  // the schedule is not what this target reads
  // Boxes are answered at once with their default button.
  SetDialogResponder([](const DialogRequest& request) { return DefaultDialogAnswer(request); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<std::vector<std::string>> given =
      SplitFiles(AsText(data, size), 5, kMaxFileBytes);
  if (!given) return 0;
  const std::vector<std::string>& files = *given;
  resetPortal();
  for (std::size_t i = 0; i < 4; ++i) {
    std::remove(kFiles[i]);
    if (!files[i].empty()) WriteFile(kFiles[i], files[i]);
  }
  const std::string ini = qEnvironmentVariable("TARNWICK_WINDIR").toStdString() + "/tarnwick.ini";
  std::remove(ini.c_str());
  if (!files[4].empty()) WriteFile(ini, files[4]);

  frmCommand->btnLdOptnsClick(nullptr);
  frmMain->SetLogging(false);  // the trace would grow for the whole run
  (void)itemPageUrl("123");
  (void)bidHistoryPageUrl("123");
  (void)officialTimePageUrl("MfcISAPICommand=TimeShow");

  frmCommand->btnLoadLVShowAllClick(nullptr);
  frmMain->loadlvAllTdateGrid();
  frmMain->loadGroupsListView();
  requireCells(frmMain->lvAllTdate, endTimeSubItems, "lvAllTdate.txt");
  requireCells(frmMain->lvGroups, 2, "groups.tnq");

  frmMain->calcTotals();
  frmMain->tsActiveOutbidShow(nullptr);
  frmMain->tsActiveHighBidderShow(nullptr);
  frmMain->tsActiveWaitingToBidShow(nullptr);
  frmMain->tsClosedLostShow(nullptr);
  frmMain->tsClosedWonShow(nullptr);
  for (int column = 0; column < frmMain->lvShowAll->Columns()->Count(); ++column)
    frmMain->lvShowAllColumnClick(nullptr, frmMain->lvShowAll->Columns()->Items(column));
  frmMain->AddAllToWorksheet1Click(nullptr);
  frmMain->loadFreshGridData();
  requireCells(frmMain->lvShowAll, watchListSubItems, "lvshowall.txt");

  requireRoundTrip(
      frmMain->lvShowAll, kFiles[0], [] { frmCommand->btnSaveLVShowAllClick(nullptr); },
      [] { frmCommand->btnLoadLVShowAllClick(nullptr); });
  requireRoundTrip(
      frmMain->lvAllTdate, kFiles[1], [] { frmMain->savelvAllTDateToText(); },
      [] { frmMain->loadlvAllTdateGrid(); });
  // What the steps left for the event loop (a grid's repaint, say) runs as the program's would.
  Application->ProcessMessages();
  return 0;
}
