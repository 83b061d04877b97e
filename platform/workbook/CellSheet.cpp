#include "workbook/CellSheet.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

#include "lib/SysUtils.h"

namespace {

constexpr const char* circularError = "#CIRC!";
constexpr const char* nameError = "#NAME?";
constexpr const char* referenceError = "#REF!";

// Reads blanks, then the characters of a cell address ("C12", letters in either case) from
// text at pos. Gives false when no address stands there.
bool readAddress(const std::string& text, std::size_t& pos, CellRef& cell, bool& inside) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  long long column = 0;
  std::size_t start = pos;
  while (pos < text.size() && std::isalpha(static_cast<unsigned char>(text[pos]))) {
    if (column <= CellSheet::maxColumns)
      column = column * 26 + (std::toupper(static_cast<unsigned char>(text[pos])) - 'A' + 1);
    ++pos;
  }
  if (pos == start) return false;
  long long row = 0;
  start = pos;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    if (row <= CellSheet::maxRows) row = row * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return false;
  inside = row >= 1 && row <= CellSheet::maxRows && column <= CellSheet::maxColumns;
  cell = {static_cast<int>(inside ? row : 0), static_cast<int>(inside ? column : 0)};
  return true;
}

bool readSymbol(const std::string& text, std::size_t& pos, char symbol) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos >= text.size() || text[pos] != symbol) return false;
  ++pos;
  return true;
}

// "=SUM(first:last)" or "=SUM(cell)"; the range comes back with its corners in order.
// Gives the error value for a formula that is not such a sum or reaches outside the sheet.
AnsiString parseSum(const AnsiString& entry, CellRange& range) {
  const std::string& text = entry.str();
  std::size_t pos = 1;  // after "="
  while (pos < text.size() && text[pos] == ' ') ++pos;
  std::string name;
  while (pos < text.size() && std::isalpha(static_cast<unsigned char>(text[pos])))
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(text[pos++])));
  if (name != "SUM" || !readSymbol(text, pos, '(')) return nameError;
  CellRef first;
  CellRef last;
  bool firstInside = false;
  bool lastInside = false;
  if (!readAddress(text, pos, first, firstInside)) return nameError;
  last = first;
  lastInside = firstInside;
  if (readSymbol(text, pos, ':') && !readAddress(text, pos, last, lastInside)) return nameError;
  if (!readSymbol(text, pos, ')')) return nameError;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos != text.size()) return nameError;
  if (!firstInside || !lastInside) return referenceError;
  range.first = {std::min(first.row, last.row), std::min(first.column, last.column)};
  range.last = {std::max(first.row, last.row), std::max(first.column, last.column)};
  return {};
}

}  // namespace

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
    content.error = parseSum(entry, content.range);
    content.hasRange = content.error.IsEmpty();
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

void CellSheet::clear(const CellRange& range) {
  evaluated_ = false;
  std::erase_if(cells_, [&](const auto& entry) { return range.contains(entry.first); });
  std::erase_if(headings_, [&](CellRef cell) { return range.contains(cell); });
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
  if (content->kind == Kind::number) return FloatToStr(content->number);
  if (content->kind == Kind::text) return content->entry;
  evaluateAll();
  const Value& value = values_.at(cell);
  return value.isError ? value.error : FloatToStr(value.number);
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
// (a long chain of sums cannot exhaust the program's stack). A formula met again while it is
// still being worked out lies on a cycle; the sum that met it shows the cycle error.
void CellSheet::evaluate(CellRef formulaCell) const {
  std::set<CellRef> inProgress;
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
      if (formula.hasRange)
        for (CellRef needed : formulasIn(formula.range))
          if (!values_.contains(needed) && !inProgress.contains(needed)) pending.push_back(needed);
      continue;
    }
    // Back at the cell: every formula it needs is worked out, or lies on a cycle through it.
    values_[cell] = sumOf(formula);
    inProgress.erase(cell);
    pending.pop_back();
  }
}

CellSheet::Value CellSheet::sumOf(const Cell& formula) const {
  if (!formula.hasRange) return {true, 0, formula.error};
  Value sum;
  forEachIn(formula.range, [&](CellRef cell, const Cell& content) {
    if (sum.isError) return;
    if (content.kind == Kind::number) {
      sum.number += content.number;
    } else if (content.kind == Kind::formula) {
      const auto found = values_.find(cell);
      if (found == values_.end())
        sum = {true, 0, circularError};
      else if (found->second.isError)
        sum = found->second;
      else
        sum.number += found->second.number;
    }
  });
  return sum;
}
