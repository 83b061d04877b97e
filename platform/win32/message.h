#pragma once
// A window message as a window procedure or a message map sees it.
#include "win32/types.h"

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};
