#pragma once
// Window messages as a form's message map sees them. A form turns the moves of its window
// into WM_MOVE and hands every such message to its virtual Dispatch.
#include "win32/message.h"
#include "win32/types.h"

inline constexpr UINT WM_MOVE = 0x0003;

// WM_MOVE read as the new client position of the window.
struct TWMMove {
  explicit TWMMove(const TMessage& message)
      : Msg(message.Msg),
        XPos(static_cast<short>(LOWORD(message.LParam))),
        YPos(static_cast<short>(HIWORD(message.LParam))) {}
  UINT Msg;
  int XPos;
  int YPos;
  LRESULT Result = 0;
};
