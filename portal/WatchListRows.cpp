#include "portal/WatchListRows.h"

#include <algorithm>

#include "lib/SysUtils.h"
#include "scraping/EbayScraper.h"

namespace {

const TFormatSettings& pointSettings() {
  static const TFormatSettings settings = [] {
    TFormatSettings point;
    point.DecimalSeparator = '.';
    return point;
  }();
  return settings;
}

}  // namespace

bool readAmount(const AnsiString& text, double& value) {
  return TryStrToFloat(text, value, pointSettings());
}

AnsiString amountText(double value) { return FloatToStr(value, pointSettings()); }

bool isPlainAmountText(const AnsiString& text) {
  // The scraper's numeric text, but with one point at the most, and not that point alone.
  const std::string& s = text.str();
  const auto points = std::count(s.begin(), s.end(), '.');
  return ebayScraper.isNumericText(text) && points <= 1 && text.Length() > points;
}

bool readSnipeAmount(const AnsiString& text, double& amount) {
  if (isPlainAmountText(text) && readAmount(text, amount) && isPlainAmountText(amountText(amount)))
    return true;
  amount = 0;
  return false;
}

bool isSnipeAmountText(const AnsiString& text) {
  double amount = 0;
  return readSnipeAmount(text, amount);
}

bool isQuantityText(const AnsiString& text) {
  return ebayScraper.isWholeNumberText(text) && text.ToIntDef(0) >= 1;
}

bool isSignedAmountText(const AnsiString& text) {
  const bool signed_ = text.Length() > 0 && (text[1] == '-' || text[1] == '+');
  return isPlainAmountText(signed_ ? text.SubString(2, text.Length() - 1) : text);
}

AnsiString cellText(const TListItem* row, int subItem) {
  if (!row || subItem < 0 || subItem >= row->SubItems()->Count()) return {};
  return row->SubItems()->Strings(subItem);
}

void completeRow(TListItem* row, int count) {
  while (row->SubItems()->Count() < count) row->SubItems()->Add("");
}

void setCellText(TListItem* row, int subItem, const AnsiString& text) {
  completeRow(row, subItem + 1);
  row->SubItems()->SetStrings(subItem, text);
}

TListItem* findRowByCaption(const TListView* listView, const AnsiString& itemNumber) {
  return listView->FindCaption(0, itemNumber, false, true, false);
}

std::vector<AnsiString> rowCaptions(TListView* listView) {
  std::vector<AnsiString> captions;
  for (int i = 0; i < listView->Items()->Count(); ++i)
    captions.push_back(listView->Items()->Item(i)->Caption());
  return captions;
}

std::vector<RowRecord> rowsNotCaptioned(TListView* listView,
                                        const std::vector<AnsiString>& captions) {
  std::vector<RowRecord> records;
  for (int i = 0; i < listView->Items()->Count(); ++i) {
    const TListItem* row = listView->Items()->Item(i);
    const AnsiString key = AnsiUpperCase(row->Caption());
    if (std::any_of(captions.begin(), captions.end(),
                    [&](const AnsiString& caption) { return AnsiUpperCase(caption) == key; }))
      continue;
    RowRecord record{row->Caption()};
    for (int cell = 0; cell < row->SubItems()->Count(); ++cell)
      record.push_back(row->SubItems()->Strings(cell));
    records.push_back(std::move(record));
  }
  return records;
}

bool addMissingRows(TListView* listView, const std::vector<RowRecord>& records) {
  bool added = false;
  for (const RowRecord& record : records) {
    if (findRowByCaption(listView, record.front())) continue;
    TListItem* row = listView->Items()->Add();
    row->SetCaption(record.front());
    for (std::size_t cell = 1; cell < record.size(); ++cell) row->SubItems()->Add(record[cell]);
    added = true;
  }
  return added;
}
