#pragma once
// The class library's exception classes that the programs raise and catch.
#include <exception>
#include <string>

#include "lib/AnsiString.h"

class Exception : public std::exception {
 public:
  explicit Exception(AnsiString message) : message_(std::move(message)) {}
  const AnsiString& Message() const { return message_; }
  void SetMessage(AnsiString message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  AnsiString message_;
};

// Text that does not convert to a number or a date-time.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be opened or created.
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// An index outside a string list.
class EStringListError : public Exception {
 public:
  using Exception::Exception;
};

// A position outside a text.
class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

// A failed call into an automation object (the workbook).
class EOleException : public Exception {
 public:
  using Exception::Exception;
};
