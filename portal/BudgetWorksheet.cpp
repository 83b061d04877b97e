// The budget worksheet: a plan sheet in the workbook F1Book1, one line per watched auction
// (item number, title, the current bid as the price, empty shipping and other costs, and the
// line's total), with a totals line under them. The sheet is written, never read back; the
// workbook's own sums follow what the user types into it.
#include "lib/SysUtils.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"

namespace {

// The plan sheet's columns: A item number, B title, C price, D shipping, E other, F total.
constexpr int colItem = 1;
constexpr int colTitle = 2;
constexpr int colPrice = 3;
constexpr int colShipping = 4;
constexpr int colOther = 5;
constexpr int colTotal = 6;
// The block that a new plan sheet empties first.
constexpr int clearedRows = 100;
constexpr int clearedColumns = 10;

AnsiString sumFormula(const char* firstColumn, int firstRow, const char* lastColumn, int lastRow) {
  return AnsiString("=SUM(") + firstColumn + IntToStr(firstRow) + ":" + lastColumn +
         IntToStr(lastRow) + ")";
}

}  // namespace

void TfrmMain::AddAllToWorksheet1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:AddAllToWorksheet1Click(TObject *Sender)");
  PageControl1->SetActivePage(tsBudgeWrksht);
  ClearCreateHeadingsInSS();
  // A plan of more than 98 lines reaches below the emptied block: its rows are emptied as well,
  // so no line takes over a shipping or other cost typed on an earlier plan's line there.
  const int lastPlanRow = lvShowAll->Items()->Count() + 2;
  if (lastPlanRow > clearedRows)
    F1Book1->ClearRange(clearedRows + 1, 1, lastPlanRow, clearedColumns, F1ClearAll);

  int r = 2;
  F1Book1->SetActiveCell(r, colItem);
  for (int i = 0; i < lvShowAll->Items()->Count(); ++i) {
    const TListItem* row = lvShowAll->Items()->Item(i);
    F1Book1->SetText(row->Caption());
    F1Book1->SetActiveCell(r, colTitle);
    F1Book1->SetText(cellText(row, siTitle));
    F1Book1->SetActiveCell(r, colPrice);
    F1Book1->SetEntry(cellText(row, siCurrent));
    F1Book1->SetActiveCell(r, colTotal);
    F1Book1->SetEntry(sumFormula("C", r, "E", r));
    ++r;
    F1Book1->SetActiveCell(r, colItem);
  }

  F1Book1->SetActiveCell(r, colTitle);
  F1Book1->SetEntry("*** TOTALS ***");
  const struct {
    int column;
    const char* letter;
  } totals[] = {{colPrice, "C"}, {colShipping, "D"}, {colOther, "E"}, {colTotal, "F"}};
  for (const auto& total : totals) {
    F1Book1->SetActiveCell(r, total.column);
    F1Book1->SetEntry(sumFormula(total.letter, 2, total.letter, r - 1));
  }
  // Every amount of the plan, typed later or worked out, shows with two decimals.
  F1Book1->SetFixedDecimals(2, colPrice, r, colTotal, 2);
}

void TfrmMain::ClearCreateHeadingsInSS() {
  logLine("TAG:ClearCreateHeadingsInSS()");
  F1Book1->ClearRange(1, 1, clearedRows, clearedColumns, F1ClearAll);
  F1Book1->SetActiveCell(1, colItem);
  F1Book1->SetEntry("ITEM #");
  const struct {
    int column;
    const char* heading;
  } headings[] = {{colTitle, "DESCRIPTION / TITLE OF AUCTION"},
                  {colPrice, "PRICE"},
                  {colShipping, "SHIPPING"},
                  {colOther, "OTHER"},
                  {colTotal, "TOTAL"}};
  for (const auto& heading : headings) {
    F1Book1->SetActiveCell(1, heading.column);
    F1Book1->SetText(heading.heading);
  }
  F1Book1->SetHeadingRange(1, colItem, 1, colTotal, true);
}
