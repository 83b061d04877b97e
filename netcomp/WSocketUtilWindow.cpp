// Utility windows whose messages go to a method: the HTTP and SMTP clients' own windows.
#include <map>
#include <memory>
#include <mutex>

#include "netcomp/WSocket.h"

namespace {

const char* const kUtilWindowClass = "TPUtilWindow";

LRESULT utilWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* method = reinterpret_cast<TWndMethod*>(GetWindowLongA(Wnd, 0));
  if (!method || !*method) return DefWindowProcA(Wnd, Msg, WParam, LParam);
  TMessage msg{Msg, WParam, LParam, 0};
  (*method)(msg);
  return msg.Result;
}

std::mutex utilLock;
std::map<HWND, std::unique_ptr<TWndMethod>> utilMethods;

}  // namespace

HWND AllocateHWnd(TWndMethod Method) {
  std::lock_guard guard(utilLock);
  WNDCLASSA record{};
  record.lpfnWndProc = &utilWindowProc;
  record.cbWndExtra = sizeof(LONG_PTR);
  record.hInstance = GetModuleInstance();
  record.lpszClassName = kUtilWindowClass;
  WNDCLASSA existing;
  if (!GetClassInfoA(record.hInstance, kUtilWindowClass, &existing) && !RegisterClassA(&record))
    return nullptr;
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, GetModuleInstance(), nullptr);
  if (!window) return nullptr;
  auto method = std::make_unique<TWndMethod>(std::move(Method));
  SetWindowLongA(window, 0, reinterpret_cast<LONG_PTR>(method.get()));
  utilMethods[window] = std::move(method);
  return window;
}

void DeallocateHWnd(HWND Wnd) {
  std::lock_guard guard(utilLock);
  DestroyWindow(Wnd);
  utilMethods.erase(Wnd);
}
