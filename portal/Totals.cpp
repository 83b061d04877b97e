// The next bid (the watched auction that ends next on eBay's clock) and the three totals of
// current bids: every auction (T), the open ones (O), and the open ones ending within the
// hour (H). Amounts of different currencies are added as they are.
#include <cmath>

#include "forms/Dialogs.h"
#include "lib/SysUtils.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/EbayScraper.h"

bool canRebuildLVAllTdate = true;

namespace {

// A sum as currency: whole ten-thousandths, nearest, then the currency text with two decimals.
AnsiString currencyText(double sum) { return CurrToStrF(std::round(sum * 10000) / 10000, 2); }

}  // namespace

void TfrmMain::BitBtn2Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:BitBtn2Click(TObject *Sender)");
  showNextBid();
}

void TfrmMain::ShowNextBid1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:ShowNextBid1Click(TObject *Sender)");
  if (lvShowAll->Items()->Count() == 0) {
    MessageDlg("No items in grid.", mtError, {mbOK});
    return;
  }
  showNextBid();
}

// Ties keep the first entry of the end-time list.
void TfrmMain::showNextBid() {
  if (lvShowAll->Items()->Count() == 0) return;
  const TDateTime now = ebayNow();
  double best = 999999999.0;
  const TListItem* chosen = nullptr;
  for (int i = 0; i < lvAllTdate->Items()->Count(); ++i) {
    const TListItem* entry = lvAllTdate->Items()->Item(i);
    const TListItem* row = findRowByCaption(lvShowAll, entry->Caption());
    TDateTime end;
    if (!row || !TryStrToDateTime(cellText(entry, siEndTime), end)) continue;
    if (end > now && end < best) {
      best = end;
      chosen = row;
    }
  }
  if (!chosen) return;
  edtNBEnds->SetText(cellText(chosen, siEnds));
  edtNBItemNum->SetText(chosen->Caption());
  edtNBSnipeAmt->SetText(cellText(chosen, siSnipeAmount));
  edtNBTitle->SetText(cellText(chosen, siTitle));
}

void TfrmMain::calcTotals() {
  BitBtn2Click(BitBtn2);
  logLine("TAG:TfrmMain::calcTotals()");
  if (lvShowAll->Items()->Count() == 0) {
    for (TLabel* label : {lblHr, lblOpen, lblTotal}) label->SetCaption("0.00");
    return;
  }
  double all = 0, open = 0, hour = 0;
  for (int i = 0; i < lvShowAll->Items()->Count(); ++i) {
    const TListItem* row = lvShowAll->Items()->Item(i);
    const AnsiString bid = cellText(row, siCurrent);
    double value = 0;
    const bool numeric = ebayScraper.isNumericText(bid) && readAmount(bid, value);
    if (numeric) all += value;
    TDateTime end;
    bool hasEnd = auctionEnd(row->Caption(), end);
    // The one request for a refresh run waits for the first clock offset: before it the
    // end-time list is not loaded yet, and no background work may start. It is for a row
    // without an entry: an entry whose end is a state word ("ENDED") is still one.
    if (!hasEnd && canRebuildLVAllTdate && GetcurrBroOffsetAction() != 0 &&
        !findRowByCaption(lvAllTdate, row->Caption())) {
      rebuildLVAllTdate();
      canRebuildLVAllTdate = false;
      hasEnd = auctionEnd(row->Caption(), end);
    }
    if (!hasEnd || !numeric) continue;
    const TDateTime now = ebayNow();
    if (end > now) {
      open += value;
      if (end < now + OneHour) hour += value;
    }
  }
  lblTotal->SetCaption(currencyText(all));
  lblOpen->SetCaption(currencyText(open));
  lblHr->SetCaption(currencyText(hour));
}
