#include "lib/StringList.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "lib/Exceptions.h"
#include "lib/SysUtils.h"
#include "win32/replace_file.h"
#include "win32/text_lines.h"

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
  textLength_ += value.str().size() - lines_[index].str().size();
  lines_[index] = value;
}

int TStringList::Add(const AnsiString& line) {
  lines_.push_back(line);
  textLength_ += line.str().size() + 2;
  return Count() - 1;
}

void TStringList::Insert(int index, const AnsiString& line) {
  if (index < 0 || index > Count())
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
  lines_.insert(lines_.begin() + index, line);
  textLength_ += line.str().size() + 2;
}

void TStringList::Delete(int index) {
  checkIndex(index);
  textLength_ -= lines_[index].str().size() + 2;
  lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(const AnsiString& line) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiCompareText(lines_[i], line) == 0) return i;
  return -1;
}

AnsiString TStringList::Text() const {
  std::string out;
  out.reserve(textLength_);
  for (const AnsiString& line : lines_) {
    out += line.str();
    out += "\r\n";
  }
  return AnsiString(std::move(out));
}

void TStringList::SetText(const AnsiString& text) {
  Clear();
  std::vector<std::string> lines = SplitTextLines(text.str());
  lines_.reserve(lines.size());
  for (std::string& line : lines) {
    textLength_ += line.size() + 2;
    lines_.emplace_back(std::move(line));
  }
}

void TStringList::LoadFromFile(const AnsiString& fileName) {
  // A folder opens as a stream that reads nothing: it is named for what it is.
  std::error_code ec;
  if (std::filesystem::is_directory(fileName.str(), ec))
    throw EFOpenError("Cannot open file " + fileName + ". It is a folder.");
  std::ifstream in(fileName.str(), std::ios::binary);
  if (!in) throw EFOpenError("Cannot open file " + fileName);
  // A file of known size is read in one piece; anything else (a pipe) to its end.
  std::string bytes;
  const std::streamoff size = in.seekg(0, std::ios::end) ? std::streamoff(in.tellg()) : -1;
  if (size > 0 && in.seekg(0)) {
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.gcount() == size) bytes.append(std::istreambuf_iterator<char>(in), {});
  } else {
    in.clear();
    in.seekg(0);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  SetText(AnsiString(std::move(bytes)));
}

void TStringList::SaveToFile(const AnsiString& fileName) const {
  std::string reason;
  if (!ReplaceFileContents(fileName.str(), Text().str(), &reason))
    throw EFCreateError(AnsiString(reason));
}
