#include "workbook/CellSheet.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>

#include "lib/SysUtils.h"

AnsiString ColumnLetters(int column) {
  std::string letters;
  for (; column > 0; column = (column - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
  return letters;
}

void CellSheet::setText(CellRef cell, const AnsiString& text) {
  Cell content;
  content.entry = text;
  put(cell, std::move(content));
}

void CellSheet::setEntry(CellRef cell, const AnsiString& entry) {
  Cell content;
  content.entry = entry;
  if (entry.str().starts_with('=')) {
    content.kind = Kind::formula;
    content.formula = Formula::parse(entry);
  } else if (TryStrToFloat(entry, content.number)) {
    content.kind = Kind::number;
  }
  put(cell, std::move(content));
}

void CellSheet::put(CellRef cell, Cell content) {
  evaluated_ = false;
  if (content.entry.IsEmpty())
    cells_.erase(cell);
  else
    cells_[cell] = std::move(content);
}

// Row by row, from the range's first column to its last: the cells outside the range's rows
// are never walked, however many the sheet holds.
void CellSheet::clear(const CellRange& range) {
  evaluated_ = false;
  const auto clearIn = [&range](auto& cells, auto cellOf) {
    for (auto it = cells.lower_bound(range.first);
         it != cells.end() && cellOf(*it).row <= range.last.row;) {
      const CellRef cell = cellOf(*it);
      if (cell.column > range.last.column)
        it = cells.lower_bound({cell.row + 1, range.first.column});
      else if (cell.column < range.first.column)
        it = cells.lower_bound({cell.row, range.first.column});
      else
        it = cells.erase(it);
    }
  };
  clearIn(cells_, [](const auto& entry) { return entry.first; });
  clearIn(headings_, [](CellRef cell) { return cell; });
  clearIn(decimals_, [](const auto& entry) { return entry.first; });
}

void CellSheet::setHeading(const CellRange& range, bool heading) {
  for (int row = range.first.row; row <= range.last.row; ++row)
    for (int column = range.first.column; column <= range.last.column; ++column) {
      if (heading)
        headings_.insert({row, column});
      else
        headings_.erase({row, column});
    }
}

void CellSheet::setDecimals(const CellRange& range, int decimals) {
  for (int row = range.first.row; row <= range.last.row; ++row)
    for (int column = range.first.column; column <= range.last.column; ++column)
      decimals_[{row, column}] = std::clamp(decimals, 0, 4);
}

const CellSheet::Cell* CellSheet::find(CellRef cell) const {
  const auto found = cells_.find(cell);
  return found == cells_.end() ? nullptr : &found->second;
}

AnsiString CellSheet::entry(CellRef cell) const {
  const Cell* content = find(cell);
  return content ? content->entry : AnsiString();
}

AnsiString CellSheet::shown(CellRef cell) const {
  const Cell* content = find(cell);
  if (!content) return {};
  if (content->kind == Kind::text) return content->entry;
  double number = content->number;
  if (content->kind == Kind::formula) {
    evaluateAll();
    const FormulaValue& value = values_.at(cell);
    if (value.isError) return value.error;
    number = value.number;
  }
  const auto format = decimals_.find(cell);
  return format == decimals_.end() ? FloatToStr(number) : FloatToStrFixed(number, format->second);
}

bool CellSheet::isNumeric(CellRef cell) const {
  const Cell* content = find(cell);
  if (!content || content->kind == Kind::text) return false;
  if (content->kind == Kind::number) return true;
  evaluateAll();
  return !values_.at(cell).isError;
}

bool CellSheet::isHeading(CellRef cell) const { return headings_.contains(cell); }

template <class Visit>
void CellSheet::forEachIn(const CellRange& range, Visit visit) const {
  // Only the filled cells of the range's rows are walked, so a sum over a large, mostly empty
  // range costs what the range holds.
  for (auto it = cells_.lower_bound(range.first);
       it != cells_.end() && it->first.row <= range.last.row; ++it) {
    if (range.contains(it->first)) visit(it->first, it->second);
  }
}

std::vector<CellRef> CellSheet::formulasIn(const CellRange& range) const {
  std::vector<CellRef> formulas;
  forEachIn(range, [&](CellRef cell, const Cell& content) {
    if (content.kind == Kind::formula) formulas.push_back(cell);
  });
  return formulas;
}

void CellSheet::evaluateAll() const {
  if (evaluated_) return;
  values_.clear();
  for (const auto& [cell, content] : cells_)
    if (content.kind == Kind::formula) evaluate(cell);
  evaluated_ = true;
}

// Works out formulaCell and every formula it depends on, depth first with a stack of its own
// (a long chain of formulas cannot exhaust the program's stack). A formula met again while it is
// still being worked out lies on a cycle; the formula that met it shows the cycle error.
void CellSheet::evaluate(CellRef formulaCell) const {
  std::unordered_set<CellRef, CellRefHash> inProgress;
  std::vector<CellRef> pending{formulaCell};
  while (!pending.empty()) {
    const CellRef cell = pending.back();
    if (values_.contains(cell)) {
      pending.pop_back();
      continue;
    }
    const Cell& formula = *find(cell);
    if (!inProgress.contains(cell)) {
      inProgress.insert(cell);
      for (const CellRange& range : formula.formula.references())
        for (CellRef needed : formulasIn(range))
          if (!values_.contains(needed) && !inProgress.contains(needed)) pending.push_back(needed);
      continue;
    }
    // Back at the cell: every formula it needs is worked out, or lies on a cycle through it.
    values_[cell] =
        formula.formula.evaluate([this](CellRef read) { return valueOf(read); },
                                 [this](const CellRange& range) { return sumOf(range); });
    inProgress.erase(cell);
    pending.pop_back();
  }
}

// A formula read before it is worked out is still in progress: it lies on a cycle through the
// formula reading it.
FormulaValue CellSheet::valueOf(CellRef cell) const {
  const Cell* content = find(cell);
  if (!content) return {};
  if (content->kind == Kind::number) return FormulaValue::of(content->number);
  if (content->kind == Kind::text) return FormulaValue::failure(valueError);
  const auto found = values_.find(cell);
  return found == values_.end() ? FormulaValue::failure(circularError) : found->second;
}

FormulaValue CellSheet::sumOf(const CellRange& range) const {
  FormulaValue sum;
  forEachIn(range, [&](CellRef cell, const Cell& content) {
    if (sum.isError || content.kind == Kind::text) return;
    const FormulaValue value = valueOf(cell);
    sum = value.isError ? value : FormulaValue::of(sum.number + value.number);
  });
  return sum;
}
