#pragma once
// Exceptions raised by the controls.
#include "lib/Exceptions.h"

// An index outside a list of columns, rows or menu items: "List index out of bounds (i)".
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// A picture file that is missing or cannot be decoded.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};
