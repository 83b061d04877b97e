// Dispatch to the outside sniper: due auctions are written to "BID.TDL" and handed to
// "tnsnip.exe". The portal places no bids itself; once an auction is dispatched its end-time
// entry's status becomes "0" and the check never hands it over again.
//
// Both walks lower four schedule flags while they run (a dispatch sleeps on the GUI thread)
// and put them back afterwards whatever happens. A walk's boxes are shown once it has ended and
// its flags are back, so that no box left open holds the schedule back (the ticks in the box's
// loop run the next check, the agent's result and the countdown) and no walk ever waits in the
// middle while another one runs. An auction whose snipe amount is no plain
// positive decimal, or whose end is not known, is never handed over: the user is told why in
// the "Sniper not launched" box, by the check once for each auction and run.
#include "forms/Dialogs.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/PortalFiles.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"
#include "win32/shell.h"
#include "win32/ticks.h"

namespace {

constexpr const char* sniperProgram = "tnsnip.exe";
constexpr const char* waiting = "1";
constexpr const char* dispatched = "0";
constexpr const char* groupSatisfied = "GROUP SATISFIED";
constexpr double secondsPerDay = 86400.0;
constexpr double defaultSnipeOffsetSeconds = 20;
// No auction lasts longer than 10 days: a snipe offset beyond that can never be met.
constexpr double longestSnipeOffsetSeconds = 10 * 86400.0;
constexpr std::int64_t dueWindowMinutes = 20;
constexpr std::int64_t neverDueMinutes = 999;
constexpr DWORD pauseAfterDispatchMs = 3000;

// Runs the walk's ending on every way out of the walk.
template <typename Ending>
class WalkEnding {
 public:
  explicit WalkEnding(Ending ending) : ending_(ending) {}
  ~WalkEnding() { ending_(); }
  WalkEnding(const WalkEnding&) = delete;
  WalkEnding& operator=(const WalkEnding&) = delete;

 private:
  Ending ending_;
};

// What a row's snipe amount says: no snipe ("0.00"), an amount to hand over, or a text that is
// no amount (a hand-edited list may hold "-5" or "1e300").
enum class Snipe { none, amount, invalid };

Snipe snipeOf(const TListItem* row, double& amount) {
  if (!readSnipeAmount(cellText(row, siSnipeAmount), amount)) return Snipe::invalid;
  return amount == 0 ? Snipe::none : Snipe::amount;
}

AnsiString notAnAmount(const TListItem* row) {
  return "its snipe amount \"" + cellText(row, siSnipeAmount) + "\" is not an amount.";
}

constexpr const char* endNotKnown = "its end time is not known.";

}  // namespace

bool TfrmMain::beginDispatchWalk(DispatchWalkFlags& saved, double& offsetDays,
                                 TDateTime& reference) {
  if (lvShowAll->Items()->Count() == 0) return false;
  if (lvAllTdate->Items()->Count() < lvShowAll->Items()->Count()) rebuildLVAllTdate();
  saved = {doBrowserRetry, doEbaySync, doRefreshLVShowAll, doDispatchLaunchCheck};
  SetdoBrowserRetry(false);
  SetdoEbaySync(false);
  SetdoRefreshLVShowAll(false);
  SetdoDispatchLaunchCheck(false);
  // A snipe offset that is no number, or a negative one (the bid would come after the end),
  // or one longer than any auction, counts as the default.
  double offsetSeconds = defaultSnipeOffsetSeconds;
  if (!readAmount(edtSnipeOffset->Text(), offsetSeconds) || !(offsetSeconds >= 0) ||
      offsetSeconds > longestSnipeOffsetSeconds)
    offsetSeconds = defaultSnipeOffsetSeconds;
  offsetDays = offsetSeconds / secondsPerDay;
  reference = Now() - ebayTimeOffset + offsetDays;
  return true;
}

void TfrmMain::endDispatchWalk(const DispatchWalkFlags& saved) {
  // The item-page retry is the add road's: it is put back only while the road still waits for a
  // page, since a retry put back for a road that has ended would hold the schedule for good.
  doBrowserRetry =
      saved.browserRetry && (currBroAction == actAdding || currBroAction == actPageHandled);
  doEbaySync = saved.ebaySync;
  doRefreshLVShowAll = saved.refreshLVShowAll;
  doDispatchLaunchCheck = saved.dispatchLaunchCheck;
}

void TfrmMain::checkDispatchLauncher() {
  logLine("TAG:checkDispatchLauncher()");
  DispatchWalkFlags saved{};
  double offsetDays = 0;
  TDateTime reference;
  const BoxesShownAfterWork boxesAfterTheWalk;
  if (!beginDispatchWalk(saved, offsetDays, reference)) return;
  const WalkEnding restore([&] { endDispatchWalk(saved); });

  for (int i = 0; i < lvAllTdate->Items()->Count();) {
    TListItem* entry = lvAllTdate->Items()->Item(i);
    TListItem* row = findRowByCaption(lvShowAll, entry->Caption());
    if (!row) {
      // The auction left the watch list: its entry goes, and the next one moves into i.
      entry->Delete();
      continue;
    }
    ++i;
    double snipe = 0;
    const Snipe kind = snipeOf(row, snipe);
    const AnsiString endText = cellText(entry, siEndTime);
    if (isOverState(endText) && cellText(entry, siDispatchStatus) != dispatched) {
      setCellText(entry, siDispatchStatus, dispatched);
      saveDispatchStatus();
    }
    const bool waits = cellText(entry, siDispatchStatus) == waiting;
    TDateTime end;
    const bool endKnown = TryStrToDateTime(endText, end);
    if (waits && !endKnown && kind != Snipe::none) {
      tellNotLaunchedOnce(entry->Caption(), endNotKnown);
      continue;
    }
    const std::int64_t minutes =
        waits && endKnown ? MinutesBetween(reference, end) : neverDueMinutes;
    if (!(minutes < dueWindowMinutes && waits && kind != Snipe::none)) continue;
    if (kind == Snipe::invalid) {
      tellNotLaunchedOnce(entry->Caption(), notAnAmount(row));
      continue;
    }

    if (!stlNdPrchseFrmGrp(cellText(row, siGroup))) {
      const AnsiString title = cellText(row, siTitle);
      if (title.Pos(groupSatisfied) == 0)
        setCellText(row, siTitle, AnsiString(groupSatisfied) + " " + title);
      continue;
    }
    // "BID.TDL" that cannot be written, or a sniper that cannot be started: the user is
    // told, and the auction still waits, so the next check tries again while its window lasts.
    if (!dispatchTo(entry, row, end, offsetDays, snipe)) continue;
    Sleep(pauseAfterDispatchMs);
  }
  tellRowsWithoutEndTimeEntry();
}

// A watched auction with a snipe amount but without an end-time entry (a short or missing
// "lvAllTdate.txt") is never handed over: its end is not known.
void TfrmMain::tellRowsWithoutEndTimeEntry() {
  for (int i = 0; i < lvShowAll->Items()->Count(); ++i) {
    const TListItem* row = lvShowAll->Items()->Item(i);
    double snipe = 0;
    if (findRowByCaption(lvAllTdate, row->Caption()) || snipeOf(row, snipe) == Snipe::none ||
        isOverState(cellText(row, siEnds)))
      continue;
    tellNotLaunchedOnce(row->Caption(), endNotKnown);
  }
}

void TfrmMain::tellNotLaunched(const AnsiString& item, const AnsiString& reason) {
  MessageDlg("Sniper not launched for auction " + item + ": " + reason, mtError, {mbOK});
}

void TfrmMain::tellNotLaunchedOnce(const AnsiString& item, const AnsiString& reason) {
  if (!toldNotLaunched.insert((UpperCase(item) + "\n" + reason).str()).second) return;
  tellNotLaunched(item, reason);
}

bool TfrmMain::dispatchTo(TListItem* entry, TListItem* row, TDateTime end, double offsetDays,
                          double snipe) {
  try {
    launchSniperAndInstrFile(entry->Caption(), snipe, cellText(row, siCurrency), end,
                             end - offsetDays, memberId(), edtEbayPass->Text(),
                             cellText(row, siTitle), cellText(row, siQuantity));
  } catch (const Exception& E) {
    tellNotLaunched(entry->Caption(), E.Message());
    return false;
  }
  setCellText(entry, siDispatchStatus, dispatched);
  saveDispatchStatus();
  return true;
}

void TfrmMain::launchSniperAndInstrFile(AnsiString iteNo, double snipeAmt, AnsiString currency,
                                        TDateTime endTime, TDateTime timeToBid, AnsiString ebayID,
                                        AnsiString ebayPass, AnsiString title, AnsiString qty) {
  logLine(
      "TAG:launchSniperAndInstrFile(AnsiString iteNo, double snipeAmt, AnsiString currency, "
      "TDateTime endTime, TDateTime timeToBid, AnsiString ebayID, AnsiString ebayPass, "
      "AnsiString title, AnsiString qty)");
  const AnsiString group = cellText(findRowByCaption(lvShowAll, iteNo), siGroup);
  // Eleven lines, each value on its own line whatever it holds.
  TStringList lines;
  for (const AnsiString& value :
       {iteNo, amountText(snipeAmt), currency, DateTimeToStr(endTime), DateTimeToStr(timeToBid),
        ebayID, ebayPass, title, qty, amountText(ebayTimeOffset), group})
    lines.Add(oneLine(value));
  lines.SaveToFile(instructionFileName);
  // A sniper that cannot be started places no bid: the caller tells the user and the
  // auction keeps waiting, instead of counting as handed over.
  const auto started = reinterpret_cast<std::intptr_t>(
      ShellExecuteA(nullptr, "open", sniperProgram, nullptr, nullptr, SW_SHOWNORMAL));
  if (started == SE_ERR_FNF) throw Exception(AnsiString(sniperProgram) + " not found");
  if (started <= 32)
    throw Exception(AnsiString(sniperProgram) + " cannot be started (error " +
                    IntToStr(static_cast<int>(started)) + ")");
}

void TfrmMain::LaunchSniper1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:LaunchSniper1Click(TObject *Sender)");
  TListItem* selected = lvShowAll->Selected();
  if (!selected) {
    MessageDlg("No item selected.", mtError, {mbOK});
    return;
  }
  MessageDlg(
      "Sniper about to be launched for selected auction. This program will not redispatch the "
      "auction for bidding unless you delete it from the main grid and then add it.",
      mtInformation, {mbOK});
  if (!stlNdPrchseFrmGrp(cellText(selected, siGroup))) {
    MessageDlg("This item is a member of a group with zero purchases requested.", mtError, {mbOK});
    return;
  }
  DispatchWalkFlags saved{};
  double offsetDays = 0;
  TDateTime reference;
  const BoxesShownAfterWork boxesAfterTheWalk;
  if (!beginDispatchWalk(saved, offsetDays, reference)) return;
  const WalkEnding restore([&] { endDispatchWalk(saved); });

  // The selected auction is handed over whatever its status or time; "0.00" too, since the
  // user asks for it. Its end and amount must be known all the same.
  const AnsiString item = selected->Caption();
  if (!findRowByCaption(lvAllTdate, item)) {
    tellNotLaunched(item, endNotKnown);
    return;
  }
  for (int i = 0; i < lvAllTdate->Items()->Count(); ++i) {
    TListItem* entry = lvAllTdate->Items()->Item(i);
    TListItem* row = findRowByCaption(lvShowAll, entry->Caption());
    if (row != selected) continue;
    TDateTime end;
    double snipe = 0;
    if (!TryStrToDateTime(cellText(entry, siEndTime), end)) {
      tellNotLaunched(item, endNotKnown);
      return;
    }
    if (snipeOf(row, snipe) == Snipe::invalid) {
      tellNotLaunched(item, notAnAmount(row));
      return;
    }
    if (!dispatchTo(entry, row, end, offsetDays, snipe)) return;
    Sleep(pauseAfterDispatchMs);
  }
}

void TfrmCommand::Button3Click(TObject* Sender) {
  (void)Sender;
  frmMain->checkDispatchLauncher();
}
