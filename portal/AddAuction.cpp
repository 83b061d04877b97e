// Adding an auction: the item page is loaded in the browser bro, recognised by fixed text
// markers in its saved copy "temp.tmp", and a biddable page becomes a watch-list row. After
// every handled page the browser is sent to the local blank page "dummy.htm", whose arrival
// returns it to idle. The action byte currBroAction is the only guard against the browser's
// repeated events, so every test reads it again. A row added or changed is saved at once.
#include "forms/Dialogs.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "portal/PortalFiles.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/EbayScraper.h"
#include "scraping/SiteHosts.h"
#include "scraping/WorkFiles.h"

namespace {

// An add whose page has been asked for twice (the request and the schedule's retry two minutes
// later) and not recognised within this time of the last request is given up: the 5-second
// tick checks it, so the road ends before a third request, and the busy panel goes.
constexpr int addGiveUpSeconds = 115;
constexpr int addRequestsBeforeGivingUp = 2;

}  // namespace

void TfrmMain::btnEnterItemNumClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnEnterItemNumClick(TObject *Sender)");
  if (memberId().IsEmpty())
    MessageDlg("No eBay ID is entered.  Use preferences tab to enter eBay ID.", mtWarning, {mbOK});
  edtNewItem->SetText(ebayScraper.replaceAllText(edtNewItem->Text(), "", " "));
  // An item number names its page file, and the row takes its caption back from that file's
  // name: a number that cannot be part of a file name is refused.
  if (!fitsInFileName(edtNewItem->Text())) {
    MessageDlg("Item not found", mtWarning, {mbOK});
    return;
  }
  PageControl1->SetActivePage(tsBro);
  SetcurrBroAction(actAdding);
  addRequested = Now();
  addRequests = 1;
  const AnsiString address = itemPageUrl(edtNewItem->Text());
  currItem = edtNewItem->Text();
  currURL = address;
  SetdoBrowserRetry(true);
  ebayScraper.broNavigate(bro, address);
}

void TfrmMain::SetcurrBroAction(broAct value) {
  logLine("TAG:SetcurrBroAction(broAct value)");
  if (value == actIdle) {
    SetdoBrowserRetry(false);
    SetpanStat(0);
  } else if (value == 2 || value == 3 || value == actAdding) {
    SetdoBrowserRetry(true);
    SetpanStat(3);
  }
  currBroAction = value;
}

broAct TfrmMain::GetcurrBroAction() {
  logLine("TAG:GetcurrBroAction()");
  return currBroAction;
}

void TfrmMain::broDocumentComplete(TObject* Sender, const AnsiString& URL) {
  (void)Sender;
  (void)URL;
  logLine("TAG:broDocumentComplete(TObject *Sender, LPDISPATCH pDisp, Variant *URL)");
  broLoadingPageJunction();
}

void TfrmMain::broDownloadComplete(TObject* Sender) {
  (void)Sender;
  logLine("TAG:broDownloadComplete(TObject *Sender)");
  broLoadingPageJunction();
}

void TfrmMain::requestBlankPage() {
  PageControl1->SetActivePage(tsShowAll);
  const AnsiString blankPage = GetCurrentDir() + "/dummy.htm";
  // A blank page that cannot load would hold the add road and the busy panel for good: the
  // road ends here instead, and the browser is idle again.
  if (!FileExists(blankPage)) {
    endAddRoad();
    return;
  }
  ebayScraper.broNavigate(bro, blankPage);
}

void TfrmMain::endAddRoad() {
  SetcurrBroAction(actIdle);
  bro->Stop();
  DeleteFile(addedPageCopyFileName);
}

bool TfrmMain::giveUpAdd(TDateTime now) {
  if (GetcurrBroAction() != actAdding) return false;
  // A clock set back since the request counts the wait from now.
  if (now < addRequested) addRequested = now;
  if (addRequests < addRequestsBeforeGivingUp || now - addRequested < addGiveUpSeconds * OneSecond)
    return false;
  endAddRoadTelling("The page of item " + currItem +
                    " could not be loaded. Try adding the auction again later.");
  return true;
}

void TfrmMain::endAddRoadTelling(const AnsiString& text) {
  endAddRoad();
  PageControl1->SetActivePage(tsShowAll);
  MessageDlg(text, mtError, {mbOK});
}

bool TfrmMain::saveAddedPage(const AnsiString& fileName) {
  AnsiString reason;
  if (ebayScraper.saveBroDocToFile(bro, fileName, reason)) return true;
  endAddRoadTelling("The page of item " + currItem + " could not be saved: " + reason);
  return false;
}

AnsiString TfrmMain::memberId() { return ebayScraper.memberIdOf(edtEbayMember->Text()); }

void TfrmMain::broLoadingPageJunction() {
  logLine("TAG:broLoadingPageJunction()");
  const auto contains = [this](const AnsiString& marker) {
    return ebayScraper.broDocContains(bro, marker, addedPageCopyFileName);
  };
  // A page is the item's only where it names the number whole: a request answered with
  // another item's page (a relocation) must not put that item's facts into this row.
  const auto namesCurrentItem = [this, &contains] {
    return contains(currItem) && ebayScraper.namesItemNumber(bro->Document(), currItem);
  };
  try {
    if (GetcurrBroAction() == actPageHandled && contains("blank")) endAddRoad();
    // Every test reads the page's saved copy. A page that came but cannot be saved (a full
    // disk) cannot be read at its retry either: the add ends at once, saying why.
    if (GetcurrBroAction() == actAdding && !saveAddedPage(addedPageCopyFileName)) return;
    if (GetcurrBroAction() == actAdding && checkFixedPriceFormat(bro)) {
      SetcurrBroAction(actPageHandled);
      bro->Stop();
      requestBlankPage();
      MessageDlg("Auction is fixed price. Snipe not possible.", mtError, {mbOK});
    }
    if (GetcurrBroAction() == actAdding && contains("Ready to bid") && contains("Member since") &&
        namesCurrentItem() && contains("</html>")) {
      SetcurrBroAction(actPageHandled);
      bro->Stop();
      // Named from the item being added: the box may have been edited while the page loaded.
      // The page file holds the same bytes as the tested copy: the document, saved again under
      // the item's name, so that a failed save is told with its reason.
      const AnsiString pageFile = currItem + ".tnw";
      if (!saveAddedPage(pageFile)) return;
      DeleteFile(addedPageCopyFileName);
      const AnsiString item = currItem;
      const bool added = addUpdateLVfromTNW(lvShowAll, pageFile) != nullptr;
      if (added) saveWatchList();
      requestBlankPage();
      if (added)
        MessageDlg(
            "Auction added.  Click grid to select auction.  Right click and choose ENTER / "
            "UPDATE SNIPE AMOUNT.",
            mtInformation, {mbOK});
      else
        MessageDlg("Auction " + item + " not added: its end time cannot be read from its page.",
                   mtError, {mbOK});
    }
    if (GetcurrBroAction() == actAdding && contains("Bidding has ended for this item") &&
        namesCurrentItem()) {
      // The rule the agent reads ended pages by: the winner row only, the member id whole. An
      // auction not watched yet gets a row of its own, without an end-time entry, so it is
      // never handed to the sniper; its result is read as a watched one's is.
      TStringList page;
      page.LoadFromFile(addedPageCopyFileName);
      TListItem* row = findRowByCaption(lvShowAll, currItem);
      if (!row) {
        row = lvShowAll->Items()->Add();
        row->SetCaption(currItem);
        for (const char* cell : {"0.00", "auction prior close", "", "", "", "", "", "IND"})
          row->SubItems()->Add(cell);
      }
      setEndsState(row, ebayScraper.endedAuctionState(page, currItem, memberId()));
      saveWatchList();
      SetcurrBroAction(actPageHandled);
      bro->Stop();
      DeleteFile(addedPageCopyFileName);
      requestBlankPage();
    }
    if (GetcurrBroAction() == actAdding && contains("<title>Invalid Item</title>")) {
      SetcurrBroAction(actPageHandled);
      bro->Stop();
      DeleteFile(addedPageCopyFileName);
      requestBlankPage();
      MessageDlg("Item not found", mtWarning, {mbOK});
    }
  } catch (...) {
    // A failed save, copy or parse leaves the action where it got to; the retry goes on.
  }
}

bool TfrmMain::checkFixedPriceFormat(TCppWebBrowser* browser) {
  logLine("TAG:checkFixedPriceFormat(TCppWebBrowser *bro)");
  if (GetcurrBroAction() != actAdding) return false;
  const auto contains = [browser](const char* marker) {
    return ebayScraper.broDocContains(browser, marker, addedPageCopyFileName);
  };
  if (!contains("</html>")) return false;
  return !contains("le\">Ready to bid") && contains("le\">Ready to buy?<");
}
