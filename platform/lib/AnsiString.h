#pragma once
// AnsiString: a text of 8-bit characters in the Windows-1252 code page, with the class
// library's 1-based positions. A search that finds nothing gives 0.
#include <compare>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

class QString;

class AnsiString {
 public:
  AnsiString() = default;
  AnsiString(const char* text) : bytes_(text ? text : "") {}  // NOLINT: implicit as in the library
  AnsiString(std::string text) : bytes_(std::move(text)) {}   // NOLINT
  AnsiString(std::string_view text) : bytes_(text) {}         // NOLINT
  AnsiString(const char* text, int length) : bytes_(text, length > 0 ? length : 0) {}
  explicit AnsiString(char c) : bytes_(1, c) {}
  explicit AnsiString(int value);
  explicit AnsiString(double value);

  int Length() const { return static_cast<int>(bytes_.size()); }
  bool IsEmpty() const { return bytes_.empty(); }
  const char* c_str() const { return bytes_.c_str(); }
  const std::string& str() const { return bytes_; }

  // 1-based character access; out-of-range positions throw ERangeError.
  char operator[](int index) const;
  char& operator[](int index);

  // Position of the first occurrence of sub (1-based), 0 when absent or sub is empty.
  int Pos(const AnsiString& sub) const;
  // count characters from index; index <= 0 counts as 1; nothing past the end.
  AnsiString SubString(int index, int count) const;
  AnsiString& Delete(int index, int count);
  AnsiString& Insert(const AnsiString& text, int index);

  AnsiString Trim() const;
  AnsiString TrimLeft() const;
  AnsiString TrimRight() const;
  AnsiString UpperCase() const;
  AnsiString LowerCase() const;

  // Conversions that raise EConvertError on bad text.
  int ToInt() const;
  int ToIntDef(int fallback) const;
  double ToDouble() const;

  // The text decoded from / encoded to Windows-1252, for widgets.
  QString toQString() const;
  static AnsiString fromQString(const QString& text);

  AnsiString& operator+=(const AnsiString& other) {
    bytes_ += other.bytes_;
    return *this;
  }
  AnsiString& operator+=(char c) {
    bytes_ += c;
    return *this;
  }
  friend AnsiString operator+(AnsiString a, const AnsiString& b) { return a += b; }
  friend AnsiString operator+(AnsiString a, const char* b) { return a += AnsiString(b); }
  friend AnsiString operator+(const char* a, const AnsiString& b) { return AnsiString(a) += b; }
  friend bool operator==(const AnsiString& a, const AnsiString& b) { return a.bytes_ == b.bytes_; }
  friend bool operator==(const AnsiString& a, const char* b) { return a.bytes_ == (b ? b : ""); }
  friend std::strong_ordering operator<=>(const AnsiString& a, const AnsiString& b) {
    return a.bytes_ <=> b.bytes_;
  }

 private:
  std::string bytes_;
};

// Writes the bytes as they are (for test output and logs).
std::ostream& operator<<(std::ostream& out, const AnsiString& text);
