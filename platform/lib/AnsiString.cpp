#include "lib/AnsiString.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <ostream>

#include "lib/Cp1252.h"
#include "lib/Exceptions.h"
#include "lib/SysUtils.h"

AnsiString::AnsiString(int value) : bytes_(std::to_string(value)) {}

AnsiString::AnsiString(double value) : bytes_(FloatToStr(value).str()) {}

char AnsiString::operator[](int index) const {
  if (index < 1 || index > Length())
    throw ERangeError("Range check error (" + std::to_string(index) + ")");
  return bytes_[index - 1];
}

char& AnsiString::operator[](int index) {
  if (index < 1 || index > Length())
    throw ERangeError("Range check error (" + std::to_string(index) + ")");
  return bytes_[index - 1];
}

int AnsiString::Pos(const AnsiString& sub) const {
  if (sub.IsEmpty()) return 0;
  auto at = bytes_.find(sub.bytes_);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

AnsiString AnsiString::SubString(int index, int count) const {
  if (index < 1) index = 1;
  if (index > Length() || count <= 0) return {};
  return AnsiString(bytes_.substr(index - 1, count));
}

AnsiString& AnsiString::Delete(int index, int count) {
  if (index >= 1 && index <= Length() && count > 0) bytes_.erase(index - 1, count);
  return *this;
}

AnsiString& AnsiString::Insert(const AnsiString& text, int index) {
  index = std::clamp(index, 1, Length() + 1);
  bytes_.insert(index - 1, text.bytes_);
  return *this;
}

AnsiString AnsiString::Trim() const { return ::Trim(*this); }
AnsiString AnsiString::TrimLeft() const { return ::TrimLeft(*this); }
AnsiString AnsiString::TrimRight() const { return ::TrimRight(*this); }
AnsiString AnsiString::UpperCase() const { return AnsiUpperCase(*this); }
AnsiString AnsiString::LowerCase() const { return AnsiLowerCase(*this); }
int AnsiString::ToInt() const { return StrToInt(*this); }
int AnsiString::ToIntDef(int fallback) const { return StrToIntDef(*this, fallback); }
double AnsiString::ToDouble() const { return StrToFloat(*this); }

QString AnsiString::toQString() const {
  QString out;
  out.reserve(Length());
  for (unsigned char c : bytes_) out.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(c))));
  return out;
}

AnsiString AnsiString::fromQString(const QString& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text.toUcs4()) out.push_back(static_cast<char>(UnicodeToCp1252(cp)));
  return AnsiString(std::move(out));
}

std::ostream& operator<<(std::ostream& out, const AnsiString& text) { return out << text.str(); }
