// The run of the agent: the work table read from "lvshowall.txt", the item pass, the
// bid-history pass, the two timers and the result file "newgrid.lv".
//
// A row that is skipped moves on to the next one at once; the passes walk on in a loop rather
// than by nested calls, so a long run of skipped rows needs no deeper stack.
#include <cstdlib>
#include <string>

#include "agent/Tnwfr.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "lib/Exceptions.h"
#include "lib/IniFile.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "scraping/SiteHosts.h"
#include "scraping/WorkFiles.h"
#include "win32/replace_file.h"

namespace {

// A load that has shown it is on its way (connecting, its request sent, bytes of its reply
// arriving) within this long is left to come at a stall tick; one that has shown nothing for
// this long is asked for again, its first request kept. A slow but steady site is read so, and
// a request the site dropped in silence is still asked again well within the give-up time.
constexpr qint64 kLoadStallMs = 10000;

// A page has at most this many give-up periods in all (two minutes), however steadily it
// keeps coming: the size bound alone would let a page that sends a byte now and then hold
// the run for months.
constexpr unsigned kPageGiveUpPeriods = 4;

// On the first show only.
bool firstShowPending = true;

// Removes the hidden temporaries that saves of the agent's own files (its scratch page, its
// result, the bid histories) left when an earlier run was killed in the middle of one. One
// agent runs at a time (the portal starts none while one's window is open), and the portal
// writes none of these files.
void removeLeftTemporaries() {
  RemoveLeftTemporaries(GetCurrentDir().str(), [](const std::string& target) {
    return target == refreshPageCopy || target == refreshedGridFileName || target.ends_with(".dsp");
  });
}

}  // namespace

void TfrmRefresh::FormShow(TObject* Sender) {
  (void)Sender;
  if (!firstShowPending) return;
  firstShowPending = false;
  beginRun();
}

void TfrmRefresh::beginRun() {
  removeLeftTemporaries();
  // A watch list that cannot be read is shown, and the run then ends as one that gives up: a
  // window left open would keep the portal from starting any other refresh.
  try {
    loadLVFromShowAll();
  } catch (EFOpenError& failure) {
    Application->ShowException(&failure);
    finishRun(RunResult::EmptyFile);
    return;
  }
  tmrBroStall->SetEnabled(true);
  navigateItemPage();
}

void TfrmRefresh::loadLVFromShowAll() {
  TStringList lines;
  lines.LoadFromFile(watchListFileName);
  if (lines.Count() < fewestListFileLines) return;
  lvRefresh->Items()->Clear();
  for (int i = 0; lines.Count() > i; i += auctionRecordLines) {
    TListItem* row = lvRefresh->Items()->Add();
    row->SetCaption(lines.Strings(i));
    for (int cell = 0; cell < watchListSubItems; ++cell) {
      const int line = i + watchListLine(cell);
      if (line >= lines.Count()) {
        MessageDlg("Possible error loading data.  Click OK to continue.", mtWarning, {mbOK});
        return;
      }
      row->SubItems()->Add(lines.Strings(line));
    }
  }
}

void TfrmRefresh::restartGiveUpTimer() {
  GiveUpTimer->SetEnabled(false);
  GiveUpTimer->SetEnabled(true);
}

void TfrmRefresh::navigateItemPage() {
  if (!requestItemPage()) nextItemPage();
}

bool TfrmRefresh::requestItemPage() {
  restartGiveUpTimer();
  if (GetcurrIndex() < 0 || GetcurrIndex() >= lvRefresh->Items()->Count()) {
    finishRun(RunResult::NoFile);
    return true;
  }
  currRow = lvRefresh->Items()->Item(GetcurrIndex());
  SetcurrItemNum(currRow->Caption());
  if (isOverState(currRow->SubItems()->Strings(siEnds))) return false;
  SetcurrItemNum(ebayScraper.replaceAllText(GetcurrItemNum(), "", " "));
  // An item number names the row's page files; one that cannot is never asked for.
  if (!fitsInFileName(GetcurrItemNum())) return false;
  requestPage(psItemPage, itemPageUrl(GetcurrItemNum()));
  return true;
}

void TfrmRefresh::nextItemPage() {
  for (;;) {
    restartGiveUpTimer();
    SetcurrIndex(GetcurrIndex() + 1);
    if (GetcurrIndex() < lvRefresh->Items()->Count()) {
      if (requestItemPage()) return;
      continue;
    }
    if (lvRefresh->Items()->Count() == 0) {
      finishRun(RunResult::NoFile);
      return;
    }
    SetcurrIndex(-1);
    nextBidHistoryPage();
    return;
  }
}

void TfrmRefresh::navigateBidHistoryPage() {
  if (!requestBidHistoryPage()) nextBidHistoryPage();
}

bool TfrmRefresh::requestBidHistoryPage() {
  currRow = lvRefresh->Items()->Item(GetcurrIndex());
  if (currRow->SubItems()->Strings(siEnds) != "ENDED - LOT") return false;
  SetcurrItemNum(ebayScraper.replaceAllText(currRow->Caption(), "", " "));
  if (!fitsInFileName(GetcurrItemNum())) return false;
  requestPage(psBidsPage, bidHistoryPageUrl(GetcurrItemNum()));
  return true;
}

void TfrmRefresh::nextBidHistoryPage() {
  for (;;) {
    restartGiveUpTimer();
    SetcurrIndex(GetcurrIndex() + 1);
    if (GetcurrIndex() >= lvRefresh->Items()->Count()) {
      finishRun(RunResult::Rows);
      return;
    }
    if (requestBidHistoryPage()) return;
  }
}

void TfrmRefresh::requestPage(pgState state, const AnsiString& url) {
  pageState = state;
  findItemNum = GetcurrItemNum();
  unusablePages = 0;
  rowAsItWas.reset();
  if (TListItem* row = lvRefresh->FindCaption(0, findItemNum, false, true, true)) {
    const TListSubItems* cells = row->SubItems();
    rowAsItWas =
        RowCells{row, cells->Strings(siCurrent), cells->Strings(siBids), cells->Strings(siEnds)};
  }
  currUrl = url;
  pageAskedFor.start();
  tmrBroStall->SetEnabled(true);
  ebayScraper.broNavigate(broRefresh, url);
}

void TfrmRefresh::requestBlankPage() {
  ebayScraper.broNavigate(broRefresh, GetCurrentDir() + "/dummy.htm");
}

void TfrmRefresh::tmrBroStallTimer(TObject* Sender) {
  (void)Sender;
  tmrBroStall->SetInterval(static_cast<unsigned>(std::rand() % 2000 + 900));
  // A load still on its way is left to come: asking anew would abandon it, and a site slower
  // than the tick would never be read at all. One that has shown nothing for a while is asked
  // for again beside its first request, whose answer may still come within the row's time (a
  // server that takes twenty seconds before it answers is read so).
  if (broRefresh->Busy()) {
    if (broRefresh->MsSinceProgress() < kLoadStallMs) return;
    if (broRefresh->RequestAgain()) return;
  }
  // After a handled page the agent waits for the blank page, so that is what is asked for
  // again; asking for the handled page instead would never bring the blank page.
  if (pageState == psItemBlank || pageState == psBidsBlank) {
    requestBlankPage();
    return;
  }
  ebayScraper.broNavigate(broRefresh, currUrl);
}

// Bytes of the awaited page arriving show that the site answers: the row's give-up time starts
// again, so a page that keeps coming is waited for however long it takes, up to its time in
// all. Only the site's answer counts here; the agent's own asking again (connecting, sending
// its request) does not, or a site that takes requests and never answers would hold the row
// for good.
void TfrmRefresh::broRefreshReplyProgress(TObject* Sender) {
  (void)Sender;
  if (pageState != psItemPage && pageState != psBidsPage) return;
  const unsigned period = GiveUpTimer->Interval();
  if (pageAskedFor.elapsed() + period > static_cast<qint64>(period) * kPageGiveUpPeriods) return;
  restartGiveUpTimer();
}

// A row whose page makes no progress (a page that never comes whole, a request never answered,
// or one that comes too slowly to be whole within its time) is left as it was and the pass goes
// on, so that one such auction does not cost every run its result. When the next row makes no
// progress either, the site itself is not answering: the pass ends there, and the rows after it
// keep theirs. What the run has read is still handed back, and the bid histories are still
// asked for after the item pass: a win read before the stall must reach the portal, whose group
// it may satisfy.
void TfrmRefresh::GiveUpTimerTimer(TObject* Sender) {
  (void)Sender;
  broRefresh->Stop();
  restoreRowAsItWas();
  const bool siteSilent = gaveUpOnLastRow;
  gaveUpOnLastRow = true;
  const bool bidPass = pageState == psBidsPage || pageState == psBidsBlank;
  // A row that cannot even be walked past (a record cut short) ends the run as before.
  try {
    if (!siteSilent) {
      bidPass ? nextBidHistoryPage() : nextItemPage();
    } else if (bidPass) {
      finishRun(RunResult::Rows);
    } else {
      SetcurrIndex(-1);
      nextBidHistoryPage();
    }
  } catch (...) {
    finishRun(RunResult::EmptyFile);
  }
}

void TfrmRefresh::restoreRowAsItWas() {
  if (!rowAsItWas) return;
  TListSubItems* cells = rowAsItWas->row->SubItems();
  cells->SetStrings(siCurrent, rowAsItWas->current);
  cells->SetStrings(siBids, rowAsItWas->bids);
  cells->SetStrings(siEnds, rowAsItWas->ends);
  rowAsItWas.reset();
}

void TfrmRefresh::finishRun(RunResult result) {
  // A row that cannot be written raises before the timers stop, so the give-up timer still
  // ends the run.
  if (result != RunResult::NoFile) {
    TStringList grid;
    for (int i = 0; result == RunResult::Rows && i < lvRefresh->Items()->Count(); ++i) {
      const TListItem* row = lvRefresh->Items()->Item(i);
      const TListSubItems* cells = row->SubItems();
      grid.Add(row->Caption());
      for (int cell : refreshedGridCells) grid.Add(cells->Strings(cell));
    }
    // Saved whole through a temporary file, so the portal's poll never finds half a file. A
    // file that cannot be saved still ends the run (the failure goes on to be shown where a
    // handler shows it): a run left open would keep the portal from starting the next one.
    try {
      grid.SaveToFile(refreshedGridFileName);
    } catch (...) {
      endRun();
      throw;
    }
  }
  endRun();
}

void TfrmRefresh::endRun() {
  tmrBroStall->SetEnabled(false);
  GiveUpTimer->SetEnabled(false);
  Close();
}

AnsiString TfrmRefresh::readEbayMember() {
  return ebayScraper.memberIdOf(TIniFile("tarnwick.ini").ReadString("prefs", "edtEbayMember", ""));
}

void TfrmRefresh::SetcurrIndex(int value) {
  if (value != currIndex) currIndex = value;
}

int TfrmRefresh::GetcurrIndex() { return currIndex; }

void TfrmRefresh::SetcurrItemNum(const AnsiString& value) {
  if (value != currItemNum) currItemNum = value;
}

AnsiString TfrmRefresh::GetcurrItemNum() { return currItemNum; }
