#include "portal/WatchListRows.h"

#include "lib/SysUtils.h"

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
