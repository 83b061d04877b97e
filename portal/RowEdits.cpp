// The watch list's popup menu edits, each on the selected row of lvShowAll. Each change is saved
// at once, whole, so a kill or a crash right after it loses nothing.
#include "forms/Dialogs.h"
#include "lib/SysUtils.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/SiteHosts.h"
#include "scraping/WorkFiles.h"
#include "win32/shell.h"

namespace {

constexpr const char* highlightAnItem = "Highlight an auction item.";
constexpr const char* noItemSelected = "No item selected.";

// Asks for a number for one cell of the selected row. Cancel changes nothing; a text that the
// cell does not accept (reads gives false) gives the error refusal names for it and changes
// nothing; an accepted text is stored as reads gives it. True when the cell changed.
bool editNumericCell(TListItem* row, int subItem, const char* caption, const char* prompt,
                     const char* preset, bool (*reads)(const AnsiString& typed, AnsiString& stored),
                     const char* (*refusal)(const AnsiString&)) {
  AnsiString typed = preset;
  if (!InputQuery(caption, prompt, typed)) return false;
  AnsiString stored;
  if (!reads(typed, stored)) {
    MessageDlg(refusal(typed), mtError, {mbOK});
    return false;
  }
  setCellText(row, subItem, stored);
  return true;
}

// A snipe amount is stored as typed.
bool readsSnipeAmount(const AnsiString& typed, AnsiString& stored) {
  stored = typed;
  return isSnipeAmountText(typed);
}

// A quantity is stored as typed, less a plus sign before it: "+5" is the whole number 5, and
// the sniper reads the quantity as digits.
bool readsQuantity(const AnsiString& typed, AnsiString& stored) {
  stored = typed.Length() > 0 && typed[1] == '+' ? typed.SubString(2, typed.Length() - 1) : typed;
  return isQuantityText(stored);
}

const char* snipeAmountRefusal(const AnsiString&) { return "Snipe amount not numeric."; }

// A number that is no quantity ("0", "2.5", "-1") is told what is wanted; any other text is not
// numeric.
const char* quantityRefusal(const AnsiString& typed) {
  return isSignedAmountText(typed) ? "Quantity must be a whole number from 1 to 2147483647."
                                   : "Amount not numeric.";
}

// The watch list's selected row; without one, the error box with noSelection and null.
TListItem* selectedRowOrError(TListView* watchList, const char* noSelection) {
  TListItem* row = watchList->Selected();
  if (!row) MessageDlg(noSelection, mtError, {mbOK});
  return row;
}

// The auction's end-time entry has the dispatch status.
bool hasDispatchStatus(const TListView* endTimes, const AnsiString& item, const char* status) {
  const TListItem* entry = findRowByCaption(endTimes, item);
  return entry && cellText(entry, siDispatchStatus) == status;
}

bool sameSnipeAmount(const AnsiString& a, const AnsiString& b) {
  double first = 0, second = 0;
  return readSnipeAmount(a, first) && readSnipeAmount(b, second) && first == second;
}

// The schedule runs while an edit's box is open: a check may have handed the auction over
// meanwhile, with the cell (named by what: "snipe amount", "quantity") as it was then. The
// sniper is not handed the same auction a second time (what it does with two instructions is its
// own affair); the buyer is told at once what the sniper has and how to hand over the new value.
void tellWhenHandedOverMeanwhile(const TListView* endTimes, const AnsiString& item,
                                 bool waitedWhenAsked, const char* what, const AnsiString& before,
                                 const AnsiString& after) {
  if (!waitedWhenAsked || !hasDispatchStatus(endTimes, item, "0")) return;
  MessageDlg("Auction " + item + " was handed to the sniper while its " + what +
                 " was being changed: the sniper has the " + what + " " + before + ", not " +
                 after + ". To hand over " + after +
                 ", select the auction and choose \"Launch Sniper\".",
             mtWarning, {mbOK});
}

}  // namespace

void TfrmMain::EditSnipeAmount1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:EditSnipeAmount1Click(TObject *Sender)");
  TListItem* row = selectedRowOrError(lvShowAll, highlightAnItem);
  if (!row) return;
  const AnsiString item = row->Caption();
  const AnsiString before = cellText(row, siSnipeAmount);
  const bool waiting = hasDispatchStatus(lvAllTdate, item, "1");
  if (!editNumericCell(row, siSnipeAmount, "Changing Snipe Amount",
                       "Enter amount without commas or dollar sign:", "0.00", readsSnipeAmount,
                       snipeAmountRefusal))
    return;
  saveWatchList();
  const AnsiString after = cellText(row, siSnipeAmount);
  if (!sameSnipeAmount(before, after))
    tellWhenHandedOverMeanwhile(lvAllTdate, item, waiting, "snipe amount", before, after);
}

void TfrmMain::Setsnipeamounttozero1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:Setsnipeamounttozero1Click(TObject *Sender)");
  TListItem* row = selectedRowOrError(lvShowAll, highlightAnItem);
  if (!row) return;
  setCellText(row, siSnipeAmount, "0.00");
  saveWatchList();
}

void TfrmMain::EnterQuanityToBidOn1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:EnterQuanityToBidOn1Click(TObject *Sender)");
  TListItem* row = selectedRowOrError(lvShowAll, noItemSelected);
  if (!row) return;
  const AnsiString item = row->Caption();
  const AnsiString before = cellText(row, siQuantity);
  const bool waiting = hasDispatchStatus(lvAllTdate, item, "1");
  if (!editNumericCell(row, siQuantity, "Changing Bid Quantity",
                       "Enter amount without commas:", "0", readsQuantity, quantityRefusal))
    return;
  saveWatchList();
  const AnsiString after = cellText(row, siQuantity);
  if (StrToIntDef(before, 0) != StrToIntDef(after, 0))
    tellWhenHandedOverMeanwhile(lvAllTdate, item, waiting, "quantity", before, after);
}

void TfrmMain::Delete1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:Delete1Click(TObject *Sender)");
  TListItem* row = selectedRowOrError(lvShowAll, highlightAnItem);
  if (!row) return;
  TListItem* entry = findRowByCaption(lvAllTdate, row->Caption());
  if (entry) entry->Delete();
  row->Delete();
  if (saveWatchListAfterDeleting() && entry) saveDispatchStatus();
}

void TfrmMain::DeleteAll1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:DeleteAll1Click(TObject *Sender)");
  lvAllTdate->Items()->Clear();
  lvShowAll->Items()->Clear();
  DeleteFile(endTimeFileName);
  DeleteFile(watchListFileName);
}

void TfrmMain::DeleteEnded1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:DeleteEnded1Click(TObject *Sender)");
  // End-time entries stay: the dispatch check drops entries that have no row.
  bool deleted = false;
  for (int i = 0; i < lvShowAll->Items()->Count();) {
    if (isOverState(cellText(lvShowAll->Items()->Item(i), siEnds))) {
      lvShowAll->Items()->Delete(i);
      deleted = true;
    } else {
      ++i;
    }
  }
  if (deleted) saveWatchListAfterDeleting();
}

bool TfrmMain::saveWatchListAfterDeleting() {
  if (lvShowAll->Items()->Count() > 0) return saveWatchList();
  // An empty list is never written: the files go, so a restart does not bring the auctions
  // back.
  DeleteFile(endTimeFileName);
  DeleteFile(watchListFileName);
  return false;
}

void TfrmMain::ViewInSystemBrowser1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:ViewInSystemBrowser1Click(TObject *Sender)");
  TListItem* row = selectedRowOrError(lvShowAll, noItemSelected);
  if (!row) return;
  ShellExecuteA(nullptr, "open", itemPageUrl(row->Caption()).c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}
