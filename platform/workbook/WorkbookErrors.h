#pragma once
// The workbook's automation error: a call the workbook cannot carry out (a cell outside the
// sheet, a clear kind it does not know). It travels like every other exception of the class
// library, so the program's own exception handling receives it.
#include "lib/Exceptions.h"

class EF1BookError : public Exception {
 public:
  using Exception::Exception;
};
