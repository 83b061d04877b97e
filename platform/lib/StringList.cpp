#include "lib/StringList.h"

#include <fstream>
#include <iterator>

#include "lib/Exceptions.h"
#include "lib/SysUtils.h"
#include "win32/replace_file.h"

void TStringList::checkIndex(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

const AnsiString& TStringList::Strings(int index) const {
  checkIndex(index);
  return lines_[index];
}

void TStringList::SetStrings(int index, const AnsiString& value) {
  checkIndex(index);
  lines_[index] = value;
}

int TStringList::Add(const AnsiString& line) {
  lines_.push_back(line);
  return Count() - 1;
}

void TStringList::Insert(int index, const AnsiString& line) {
  if (index < 0 || index > Count())
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  lines_.insert(lines_.begin() + index, line);
}

void TStringList::Delete(int index) {
  checkIndex(index);
  lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(const AnsiString& line) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiCompareText(lines_[i], line) == 0) return i;
  return -1;
}

AnsiString TStringList::Text() const {
  std::string out;
  for (const AnsiString& line : lines_) {
    out += line.str();
    out += "\r\n";
  }
  return AnsiString(std::move(out));
}

void TStringList::SetText(const AnsiString& text) {
  lines_.clear();
  const std::string& s = text.str();
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      lines_.emplace_back(s.substr(start, i - start));
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < s.size()) lines_.emplace_back(s.substr(start));
}

void TStringList::LoadFromFile(const AnsiString& fileName) {
  std::ifstream in(fileName.str(), std::ios::binary);
  if (!in) throw EFOpenError("Cannot open file " + fileName);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  SetText(AnsiString(std::move(bytes)));
}

void TStringList::SaveToFile(const AnsiString& fileName) const {
  std::string reason;
  if (!ReplaceFileContents(fileName.str(), Text().str(), &reason))
    throw EFCreateError(AnsiString(reason));
}
