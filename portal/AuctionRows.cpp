// Watch-list rows from saved item pages, and the Ends text of a row.
#include <algorithm>
#include <memory>

#include "lib/FormatSettings.h"
#include "lib/SysUtils.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"

TListItem* TfrmMain::addUpdateLVfromTNW(TListView* listview, AnsiString tnwfile) {
  logLine("TAG:addUpdateLVfromTNW(TListView *listview, AnsiString tnwfile)");
  auto page = std::make_unique<TStringList>();
  page->LoadFromFile(tnwfile);
  const AnsiString fileName = ExtractFileName(tnwfile);
  const AnsiString item = fileName.SubString(1, std::max(fileName.Length() - 4, 0));

  // A watched auction whose end is not known (its entry lost with an older list, a hand edit
  // or a kill between the two files' saves, or an entry whose end does not read, such as a
  // state word) is never handed to the sniper: adding it again while its page shows it live
  // makes its end from the page, as a new add does.
  TListItem* row = findRowByCaption(listview, item);
  TDateTime entryEnd;
  const bool makesEnd = !row || !auctionEnd(item, entryEnd);
  // An end time that does not read is never taken for another (such as now): the auction is
  // not added, since it could never be handed to the sniper at its end.
  TDateTime end;
  if (makesEnd && !ebayScraper.tryParseEbayDateTime(ebayScraper.getEndTimeText(*page, item), end))
    return nullptr;
  // Every cell read from the page is one line: a line break in a title must not split the
  // row's record in "lvshowall.txt".
  if (row) {
    if (makesEnd) setEndTimeEntry(item, end);
    setCellText(row, siCurrent, oneLine(ebayScraper.getCurrentBid(*page)));
    setCellText(row, siBids, oneLine(ebayScraper.getBidCount(*page, item)));
    setCellText(row, siEnds, getSIClosingTime(item, page.get()));
  } else {
    row = listview->Items()->Add();
    row->SetCaption(item);
    row->SubItems()->Add("0.00");
    row->SubItems()->Add(oneLine(ebayScraper.getItemTitle(*page)));
    row->SubItems()->Add(oneLine(ebayScraper.getCurrentBid(*page)));
    row->SubItems()->Add(oneLine(ebayScraper.getBidCount(*page, item)));
    row->SubItems()->Add(oneLine(ebayScraper.getItemQuantity(*page)));
    setEndTimeEntry(item, end);
    row->SubItems()->Add(getSIClosingTime(item, page.get()));
    row->SubItems()->Add(oneLine(ebayScraper.getCurrencyCode(*page)));
    row->SubItems()->Add("IND");
  }
  page.reset();
  calcTotals();
  return row;
}

void TfrmMain::setEndTimeEntry(const AnsiString& item, TDateTime end) {
  FormatSettings().ShortDateFormat = "mm/dd/yy";
  FormatSettings().LongTimeFormat = "hh:mm:ss";
  // An entry that is there keeps its dispatch status, so an auction handed to the sniper is
  // not handed over again. One outlives its row when the program ended after an add wrote the
  // end-time list but before the watch list was written. An entry whose end was a state word
  // waits for the sniper again: the check marks such an entry handed over without handing it
  // over, and nothing hands over an auction whose end does not read.
  if (TListItem* entry = findRowByCaption(lvAllTdate, item)) {
    if (isOverState(cellText(entry, siEndTime))) setCellText(entry, siDispatchStatus, "1");
    setCellText(entry, siEndTime, DateTimeToStr(end));
  } else {
    entry = lvAllTdate->Items()->Add();
    entry->SetCaption(item);
    entry->SubItems()->Add(DateTimeToStr(end));
    entry->SubItems()->Add("1");
  }
  // A failed write is told and the entry stays in memory for the next write: the row is
  // still built whole and the browser still gets its blank page.
  saveDispatchStatus();
}

AnsiString TfrmMain::getSIClosingTime(AnsiString itemNo, TStringList* tsl) {
  logLine("TAG:getSIClosingTime(AnsiString itemNo, TStringList *tsl)");
  // A page that gives no end that reads leaves the end-time entry's end, and without that the
  // end is not known.
  TDateTime end;
  if (!ebayScraper.tryParseEbayDateTime(ebayScraper.getEndTimeText(*tsl, itemNo), end) &&
      !auctionEnd(itemNo, end))
    return "undetermined";
  // Under an hour the end-time entry gives minutes and seconds. Without a usable entry the
  // page's own end time does, so the row's update still completes.
  TDateTime lastHourEnd = end;
  auctionEnd(itemNo, lastHourEnd);
  return ebayScraper.getClosingTimeText(end, lastHourEnd, ebayTimeOffset);
}
