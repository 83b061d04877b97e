// What a completed page means: the agent's page state says which page it waits for, and text
// markers in the saved page ("refresh.tmp") say whether that page has come. A recognised item page
// is kept as the item's ".tnw" file and read into its row; a recognised bid-history page is
// kept as the item's ".dsp" file and gives the member's result. After each the blank page
// "dummy.htm" is asked for; its arrival moves the pass on to the next row.
#include "agent/Tnwfr.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"

namespace {

constexpr const char* kPageCopy = refreshPageCopy;

TListItem* findRow(TListView* listView, const AnsiString& itemNumber) {
  return listView->FindCaption(0, itemNumber, false, true, true);
}

}  // namespace

void TfrmRefresh::broRefreshDocumentComplete(TObject* Sender, const AnsiString& URL) {
  (void)Sender;
  (void)URL;
  processLoadedPage();
}

void TfrmRefresh::processLoadedPage() {
  const auto contains = [this](const AnsiString& marker) {
    return ebayScraper.broDocContains(broRefresh, marker, kPageCopy);
  };
  const auto namesCurrentItem = [this, &contains] {
    return contains(GetcurrItemNum()) &&
           ebayScraper.namesItemNumber(broRefresh->Document(), GetcurrItemNum());
  };
  // The state the page came in: once a check has moved the pass on, the later checks test a
  // page that was asked for in another.
  const pgState awaited = pageState;
  try {
    if (pageState == psItemBlank && contains("blank")) {
      pageState = psHandled;
      gaveUpOnLastRow = false;
      broRefresh->Stop();
      DeleteFile(kPageCopy);
      nextItemPage();
    }
    if (pageState == psBidsBlank && contains("blank")) {
      pageState = psHandled;
      gaveUpOnLastRow = false;
      broRefresh->Stop();
      DeleteFile(kPageCopy);
      nextBidHistoryPage();
    }
    if (pageState == psItemPage && contains("e\">Ready to bid") && namesCurrentItem() &&
        contains("</html>")) {
      pageState = psHandled;
      broRefresh->Stop();
      keepItemPage();
    }
    if (pageState == psItemPage && contains("Bidding has ended for this item") &&
        namesCurrentItem()) {
      if (TListItem* row = findRow(lvRefresh, findItemNum))
        row->SubItems()->SetStrings(siEnds, "ENDED");
      broRefresh->Stop();
      keepItemPage();
    }
    // The site's page for an item it no longer knows (a removed auction): the row stays as it
    // was and the pass goes on, instead of waiting for a page that never comes and giving the
    // whole run up.
    if ((pageState == psItemPage || pageState == psBidsPage) &&
        contains("<title>Invalid Item</title>"))
      leaveRowAsItWas();
    if (pageState == psBidsPage && contains("not automatic bids generated") && namesCurrentItem() &&
        contains("eBay official time")) {
      TListItem* row = findRow(lvRefresh, findItemNum);
      broRefresh->Stop();
      const AnsiString pageFile = GetcurrItemNum() + ".dsp";
      ebayScraper.copyLocalFile(kPageCopy, pageFile);
      DeleteFile(kPageCopy);
      ebayScraper.markLotResult(pageFile, row, readEbayMember());
      rowAsItWas.reset();
      pageState = psBidsBlank;
      requestBlankPage();
    }
    // A page that came whole and is still no page of this row (another page in its place, a
    // page of another item) passed no check: asking for it until the give-up would only cost
    // the row its time and count as a row without progress. A page cut short (no "</html>")
    // is left to the stall timer, whose next request may bring it whole.
    if (pageState == awaited && (awaited == psItemPage || awaited == psBidsPage) &&
        contains("</html>"))
      passUnusablePage();
  } catch (...) {
    // The page state stays where the failing step left it: the stall timer asks again, or the
    // give-up timer ends the run.
  }
}

void TfrmRefresh::broRefreshNavigateError(TObject* Sender, const AnsiString& URL,
                                          TNavigateFailure Failure) {
  (void)Sender;
  (void)URL;
  // A page longer than a page may be came, and cannot be used; a load that brought nothing is
  // asked for again by the stall timer.
  if (Failure == TNavigateFailure::TooLong && (pageState == psItemPage || pageState == psBidsPage))
    passUnusablePage();
}

void TfrmRefresh::keepItemPage() {
  const AnsiString pageFile = GetcurrItemNum() + ".tnw";
  ebayScraper.copyLocalFile(kPageCopy, pageFile);
  DeleteFile(kPageCopy);
  updateLVfromTNW(lvRefresh, pageFile);
  rowAsItWas.reset();
  pageState = psItemBlank;
  requestBlankPage();
}

// Asked for once more, as the stall timer asks for a page that passes no check: a page broken
// once (a server's passing failure) may come right. One that does not is no stall: the site
// answered, and the pass goes on at once.
void TfrmRefresh::passUnusablePage() {
  if (++unusablePages < 2) {
    ebayScraper.broNavigate(broRefresh, currUrl);
    return;
  }
  leaveRowAsItWas();
}

// Whatever an earlier load's handling cut short left in the row (the "ENDED" an ended page sets
// before the row is read) goes with it, as at a give-up.
void TfrmRefresh::leaveRowAsItWas() {
  pageState = pageState == psItemPage ? psItemBlank : psBidsBlank;
  broRefresh->Stop();
  DeleteFile(kPageCopy);
  restoreRowAsItWas();
  requestBlankPage();
}

void TfrmRefresh::updateLVfromTNW(TListView* listView, const AnsiString& fileName) {
  TStringList page;
  page.LoadFromFile(fileName);
  const AnsiString number = GetcurrItemNum();
  TListItem* row = findRow(listView, number);
  if (row == nullptr) return;
  TListSubItems* cells = row->SubItems();
  // Cells read from the page are one line each, so no record of "newgrid.lv" splits.
  cells->SetStrings(siCurrent, oneLine(ebayScraper.getCurrentBid(page)));
  const AnsiString state = ebayScraper.isBiddingEnded(page)
                               ? ebayScraper.endedAuctionState(page, number, readEbayMember())
                               : AnsiString("ACTIVE");
  cells->SetStrings(siEnds, state);
  cells->SetStrings(siBids, oneLine(ebayScraper.getBidCount(page, number)));
}
