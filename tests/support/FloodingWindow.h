#pragma once
// A window that posts itself another message each time it gets one, so that the thread's queue
// never empties, as a peer that floods a socket keeps it full. The flood stops when the window
// goes, or by itself after a few seconds, so that a pump that never returns fails its test
// instead of hanging it.
#include <QElapsedTimer>

#include "win32/windows.h"

class FloodingWindow {
 public:
  FloodingWindow() {
    WNDCLASSA c{};
    c.lpfnWndProc = [](HWND window, UINT, WPARAM, LPARAM) -> LRESULT {
      if (window == self_ && since_.elapsed() < 4000) PostMessageA(window, kMessage, 0, 0);
      return 0;
    };
    c.lpszClassName = "FloodingWindowClass";
    WNDCLASSA existing;
    if (!GetClassInfoA(GetModuleInstance(), c.lpszClassName, &existing)) RegisterClassA(&c);
    self_ = CreateWindowExA(0, c.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleInstance(), nullptr);
    since_.start();
    PostMessageA(self_, kMessage, 0, 0);
  }
  ~FloodingWindow() {
    DestroyWindow(self_);
    self_ = nullptr;
  }
  FloodingWindow(const FloodingWindow&) = delete;
  FloodingWindow& operator=(const FloodingWindow&) = delete;

 private:
  static constexpr UINT kMessage = WM_USER + 4;
  static inline HWND self_ = nullptr;
  static inline QElapsedTimer since_;
};
