// The workbook's formulas and their recalculation, on the sheet behind the workbook control.
// Input: one entry a line, typed into the cells of a five-column block row by row (a formula
// begins with "="); then the first cell is typed again with the last line. Properties: a
// formula cell shows a number or one of the error values; every cell shows what a sheet
// given only the final entries shows (recalculation after an edit agrees with a fresh
// evaluation); a cell's entry is what was typed.
#include <array>
#include <string>

#include "FuzzSupport.h"
#include "lib/SysUtils.h"
#include "workbook/CellSheet.h"

namespace {

constexpr int kColumns = 5;
constexpr std::size_t kMaxEntries = 60;

CellRef cellOf(std::size_t index) {
  return {static_cast<int>(index / kColumns) + 1, static_cast<int>(index % kColumns) + 1};
}

bool isErrorValue(const AnsiString& shown) {
  static const std::array<const char*, 6> errors = {circularError, divisionError,  nameError,
                                                    overflowError, referenceError, valueError};
  for (const char* e : errors)
    if (shown == e) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<AnsiString> entries;
  std::string_view input = AsText(data, size);
  while (!input.empty() && entries.size() < kMaxEntries) {
    const std::size_t end = input.find('\n');
    entries.emplace_back(input.substr(0, end));
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  }
  if (entries.empty()) return 0;

  CellSheet edited;
  for (std::size_t i = 0; i < entries.size(); ++i) edited.setEntry(cellOf(i), entries[i]);
  for (std::size_t i = 0; i < entries.size(); ++i) (void)edited.shown(cellOf(i));
  edited.setEntry(cellOf(0), entries.back());

  std::vector<AnsiString> final = entries;
  final[0] = entries.back();
  CellSheet fresh;
  for (std::size_t i = 0; i < final.size(); ++i) fresh.setEntry(cellOf(i), final[i]);

  for (std::size_t i = 0; i < final.size(); ++i) {
    const CellRef cell = cellOf(i);
    const AnsiString shown = edited.shown(cell);
    FUZZ_REQUIRE(shown == fresh.shown(cell), "cell " + std::to_string(i) + " shows '" +
                                                 shown.str() + "' after the edit but '" +
                                                 fresh.shown(cell).str() + "' fresh");
    FUZZ_REQUIRE(edited.entry(cell) == final[i], "the entry is not what was typed");
    if (final[i].str().starts_with('=')) {
      double number;
      FUZZ_REQUIRE(isErrorValue(shown) || TryStrToFloat(shown, number),
                   "a formula shows '" + shown.str() + "'");
    }
  }
  return 0;
}
