// The watch list and the end-time list on disk: "lvshowall.txt" holds nine lines for each
// watched auction (the item number, then its eight cells), "lvAllTdate.txt" three lines for
// each end-time entry (item number, end time, dispatch status). Neither file is written for
// an empty list, so an empty list never wipes the last session's file.
#include "forms/Dialogs.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"

namespace {

constexpr const char* brokenRecordWarning =
    "Possible error loading data from last session.  Click OK to continue.";

// The file's lines; false (silently) when it is missing or cannot be read.
bool loadLines(const char* fileName, TStringList& lines) {
  if (!FileExists(fileName)) return false;
  try {
    lines.LoadFromFile(fileName);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

// Writes the caption and the first cellCount cells of every row, one value a line.
void saveRows(TListView* listView, int cellCount, const char* fileName) {
  TStringList lines;
  for (int i = 0; i < listView->Items()->Count(); ++i) {
    const TListItem* row = listView->Items()->Item(i);
    lines.Add(row->Caption());
    for (int cell = 0; cell < cellCount; ++cell) lines.Add(cellText(row, cell));
  }
  lines.SaveToFile(fileName);
}

// Adds one row from the record starting at line first: the caption, then cellCount cells. A
// record cut short by the end of the file keeps the cells read so far, is completed with
// empty cells and gives false.
bool addRecord(TListView* listView, const TStringList& lines, int first, int cellCount) {
  TListItem* row = listView->Items()->Add();
  row->SetCaption(lines[first]);
  for (int cell = 0; cell < cellCount; ++cell) {
    if (first + 1 + cell >= lines.Count()) {
      completeRow(row, cellCount);
      return false;
    }
    row->SubItems()->Add(lines[first + 1 + cell]);
  }
  return true;
}

}  // namespace

void TfrmCommand::btnSaveLVShowAllClick(TObject* Sender) {
  (void)Sender;
  if (frmMain->lvShowAll->Items()->Count() == 0) return;
  saveRows(frmMain->lvShowAll, watchListSubItems, watchListFileName);
}

void TfrmCommand::btnLoadLVShowAllClick(TObject* Sender) {
  (void)Sender;
  TStringList lines;
  if (!loadLines(watchListFileName, lines) || lines.Count() < fewestListFileLines) return;
  TListView* watchList = frmMain->lvShowAll;
  watchList->Items()->Clear();
  for (int first = 0; first < lines.Count(); first += auctionRecordLines) {
    if (!addRecord(watchList, lines, first, watchListSubItems)) {
      MessageDlg(brokenRecordWarning, mtWarning, {mbOK});
      return;
    }
  }
}

void TfrmMain::savelvAllTDateToText() {
  logLine("TAG:savelvAllTDateToText()");
  // Before the start-up has read the file, the list does not hold it.
  if (startUpPending || lvAllTdate->Items()->Count() == 0) return;
  saveRows(lvAllTdate, endTimeSubItems, endTimeFileName);
}

void TfrmMain::loadlvAllTdateGrid() {
  logLine("TAG:loadlvAllTdateGrid()");
  TStringList lines;
  if (!loadLines(endTimeFileName, lines) || lines.Count() < 3) return;
  lvAllTdate->Items()->Clear();
  // A trailing part of one or two lines is no record and is left out.
  for (int first = 0; lines.Count() > first + 2; first += endTimeSubItems + 1)
    if (!addRecord(lvAllTdate, lines, first, endTimeSubItems))
      MessageDlg(brokenRecordWarning, mtWarning, {mbOK});
}

void TfrmMain::deleteTNWFiles() {
  logLine("TAG:deleteTNWFiles()");
  ebayScraper.deleteFilesByExt(".tnw");
}

void TfrmCommand::btnTarnClick(TObject* Sender) {
  (void)Sender;
  frmMain->deleteTNWFiles();
}

void TfrmMain::BitBtn1Click(TObject* Sender) {
  logLine("TAG:BitBtn1Click(TObject *Sender)");
  // A file that cannot be written is reported, not taken for saved; the list stays as it is.
  try {
    frmCommand->btnSaveLVShowAllClick(Sender);
  } catch (const Exception& E) {
    MessageDlg("Auction list not saved: " + E.Message(), mtError, {mbOK});
    return;
  }
  MessageDlg("Auction list saved as lvShowall.txt", mtInformation, {mbOK});
}

bool TfrmMain::saveOrTell(const char* what, const std::function<void()>& save) {
  try {
    save();
  } catch (const Exception& E) {
    MessageDlg(AnsiString(what) + " not saved: " + E.Message(), mtError, {mbOK});
    return false;
  }
  return true;
}

bool TfrmMain::saveWatchList() {
  return saveOrTell("Auction list", [this] { frmCommand->btnSaveLVShowAllClick(this); });
}

void TfrmMain::saveDispatchStatus() {
  saveOrTell("End-time list", [this] { savelvAllTDateToText(); });
}

void TfrmMain::rebuildLVAllTdate() {
  logLine("TAG:rebuildLVAllTdate()");
  SetdoRefreshLVShowAll(true);
  refreshDeadline = Now() - 1.0;
}
