// The hand-over to the refresh agent: the watch list goes out in "lvshowall.txt" and comes back
// refreshed in "newgrid.lv". Of each nine-line record only the current bid, the bid count and
// the state word are applied, so the user's edits made while the agent ran survive; and a
// record that holds them as they were handed over (a row the agent kept as it was) is not
// applied at all, so it undoes nothing the portal has learnt about the row since.
#include <utility>

#include "forms/Dialogs.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "portal/WinJournal.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"
#include "win32/shell.h"

namespace {

// The build defines the name, which the install gives the agent's program.
constexpr const char* agentProgram = TARNWICK_AGENT_PROGRAM;

// A won state word: "WON" anywhere in it, "WON -" and a count of units included.
bool isWonText(const AnsiString& ends) { return ends.Pos("WON") > 0; }

}  // namespace

void TfrmMain::applyRefreshedState(TListItem* row, const AnsiString& state) {
  if (state == "ACTIVE") {
    const TListItem* entry = findRowByCaption(lvAllTdate, row->Caption());
    if (!entry) return;
    const TDateTime end = StrToDateTime(cellText(entry, siEndTime));
    setCellText(row, siEnds, ebayScraper.getClosingTimeText(end, end, ebayTimeOffset));
    return;
  }
  setEndsState(row, state);
}

// The agent writes a won auction back at every refresh, and the add road marks a watched one
// won too: counting the win each time would cancel the group's other snipes after a single
// win, so only the word that turns a row won lessens the group. The count and the row are two
// saves; the journal saved before them lets a restart finish a win that a kill cut short, so
// that it is counted neither twice (the row not yet won) nor not at all.
void TfrmMain::setEndsState(TListItem* row, const AnsiString& state) {
  if (!isWonText(state) || isWonText(cellText(row, siEnds))) {
    setCellText(row, siEnds, state);
    return;
  }
  const AnsiString group = cellText(row, siGroup);
  const AnsiString count = countAfterWin(group);
  const bool journaled = !count.IsEmpty() && saveOrTell("Win journal", [&] {
    saveWinJournal({row->Caption(), state, group, count});
  });
  setCellText(row, siEnds, state);
  const bool groupSaved = decGroup(group);
  const bool rowSaved = saveWatchList();
  // A save that failed (a full disk) leaves the journal: a kill before the file is saved again
  // must not cost the step.
  if (journaled && groupSaved && rowSaved) removeWinJournal();
}

// Sets both as the journal says, whichever of the two saves had been made. The count is set only
// where the group still holds the count the win lessened: a journal that a failed save left
// behind may be older than a later change of the count. A journal whose saves fail again stays
// for the next start. A journal is a win of a row of its group that is not won yet; one that
// names no such row (a hand-edited or torn file, a row since moved or won) sets nothing, since
// the row's own win, when it comes, lessens the group.
void TfrmMain::finishJournaledWin() {
  const std::optional<JournaledWin> win = loadWinJournal();
  TListItem* row = win ? findRowByCaption(lvShowAll, win->item) : nullptr;
  if (row && isWonText(win->state) && cellText(row, siGroup) == win->group &&
      !isWonText(cellText(row, siEnds))) {
    setCellText(row, siEnds, win->state);
    if (countAfterWin(win->group) == win->count) setGroupCount(win->group, win->count);
    const bool groupsSaved = saveGroups();
    if (!saveWatchList() || !groupsSaved) return;
  }
  removeWinJournal();
}

void TfrmMain::loadFreshGridData() {
  logLine("TAG:loadFreshGridData()");
  // One hand-over, one result: a result found without one (the hidden "refresh" button's
  // poll) is applied whole.
  const HandedOverRows asHandedOver = std::exchange(handedOver, {});
  TStringList lines;
  try {
    lines.LoadFromFile(refreshedGridFileName);
  } catch (const Exception&) {
    return;  // unreadable: nothing is applied, as for the agent's empty give-up file
  }
  if (lines.Count() < fewestListFileLines) return;
  for (int i = 0; lines.Count() > i + 4; i += auctionRecordLines) {
    try {
      // Every value is read before any cell changes, so a cut record changes nothing.
      const AnsiString& current = lines[i + refreshedGridLine(siCurrent)];
      const AnsiString& bids = lines[i + refreshedGridLine(siBids)];
      const AnsiString& state = lines[i + refreshedGridLine(siEnds)];
      TListItem* row = findRowByCaption(lvShowAll, lines[i]);
      if (!row) continue;  // deleted while the agent ran
      if (asHandedOver.keptAsItWas(row, current, bids, state)) continue;
      // An auction that is over stays over, and a won one stays won: the agent reads no row
      // that is over, so a record that is not over for one (or not won for a won one) was
      // read before an add read the end. Taking the word away would show time left until the
      // next run, and for a win let that run count it against its group again.
      const AnsiString ends = cellText(row, siEnds);
      if (isOverState(ends) && !isOverState(state)) continue;
      if (isWonText(ends) && !isWonText(state)) continue;
      setCellText(row, siCurrent, current);
      setCellText(row, siBids, bids);
      applyRefreshedState(row, state);
    } catch (const Exception&) {
      MessageDlg("Possible error loading data from last session.  Click OK to continue.", mtWarning,
                 {mbOK});
    }
  }
}

void TfrmMain::launchGridRefresher() {
  logLine("TAG:launchGridRefresher()");
  if (ebayScraper.isWindowOpen(agentWindowCaption)) return;
  try {
    frmCommand->btnSaveLVShowAllClick(this);
  } catch (const Exception&) {
    // The agent would refresh a stale list; the next countdown tries again.
    return;
  }
  handedOver.remember(lvShowAll);
  SetseekingRefreshData(true);
  ShellExecuteA(nullptr, "open", agentProgram, nullptr, nullptr, SW_SHOWNORMAL);
}

void TfrmMain::btnRefreshNowClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnRefreshNowClick(TObject *Sender)");
  refreshDeadline = Now() - 1.0;
  MessageDlg("Refresh process queued.", mtInformation, {mbOK});
}

void TfrmMain::Refresh1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:Refresh1Click(TObject *Sender)");
  refreshDeadline = 0.23;
}

void TfrmCommand::Button2Click(TObject* Sender) {
  (void)Sender;
  frmMain->SetseekingRefreshData(true);
}
