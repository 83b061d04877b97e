#pragma once
// Reading and writing the cells of a watch-list row or an end-time entry by sub-item index.
// A row read from a broken file record may lack cells: reading one gives an empty text, and
// writing one first completes the row with empty cells, so no later step fails on such a row.
#include <vector>

#include "forms/ListView.h"
#include "lib/AnsiString.h"
#include "scraping/WorkFiles.h"

// The watch list's file and sub-items are those of scraping/WorkFiles.h (watchListFileName,
// siSnipeAmount to siGroup).

// The end-time list's file.
inline constexpr const char* endTimeFileName = "lvAllTdate.txt";

// The end-time list's sub-items.
inline constexpr int siEndTime = 0;
inline constexpr int siDispatchStatus = 1;
inline constexpr int endTimeSubItems = 2;

// Amounts (snipe amounts, bids, the snipe offset) are decimal texts with a point, in the files,
// in "BID.TDL" (the sniper reads them so) and in the boxes, whatever the locale's separator.
bool readAmount(const AnsiString& text, double& value);
AnsiString amountText(double value);
// A plain decimal: digits with at most one point, at least one digit, and nothing else (no
// sign, exponent, separator or blank).
bool isPlainAmountText(const AnsiString& text);
// A snipe amount, as the editor takes it and the dispatch hands it over: a plain decimal whose
// value "BID.TDL" writes as a plain decimal too (no exponent, as for 10^15 and more or for less
// than 0.0001 but 0). False, with amount 0, for any other text.
bool readSnipeAmount(const AnsiString& text, double& amount);
bool isSnipeAmountText(const AnsiString& text);
// A quantity to bid on, as its editor accepts it: a whole number of at least 1 (and at most
// 2147483647).
bool isQuantityText(const AnsiString& text);
// A number as a buyer may type one: a plain decimal with a sign or none ("-1", "+2.5", "0").
bool isSignedAmountText(const AnsiString& text);

// The cell's text, empty when the row has no such cell.
AnsiString cellText(const TListItem* row, int subItem);
// Sets the cell, adding empty cells before it when the row is short.
void setCellText(TListItem* row, int subItem, const AnsiString& text);
// Adds empty cells until the row has count sub-items.
void completeRow(TListItem* row, int count);
// The first row whose caption is itemNumber (whole text, letter case ignored), or null.
TListItem* findRowByCaption(const TListView* listView, const AnsiString& itemNumber);

// A row as its caption followed by its cells.
using RowRecord = std::vector<AnsiString>;
// The captions of the list's rows, in list order.
std::vector<AnsiString> rowCaptions(TListView* listView);
// The rows whose captions are not among captions (letter case ignored), as records.
std::vector<RowRecord> rowsNotCaptioned(TListView* listView,
                                        const std::vector<AnsiString>& captions);
// Appends each record whose caption the list lacks; true when any was appended.
bool addMissingRows(TListView* listView, const std::vector<RowRecord>& records);
