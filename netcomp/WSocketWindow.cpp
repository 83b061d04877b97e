// The hidden socket windows: the window class, the window procedure, the message table of a
// socket, background exceptions, the message pumps and moving a socket between threads.
#include "netcomp/WSocket.h"
#include "netcomp/WSocketUnit.h"

namespace {

const char* const kSocketWindowClass = "XSocketWindowClass";

WNDCLASSA socketWindowClass() {
  WNDCLASSA c{};
  c.style = 0;
  c.lpfnWndProc = &socketWindowProc;
  c.cbClsExtra = 0;
  c.cbWndExtra = sizeof(LONG_PTR);  // the owning socket object
  c.lpszClassName = kSocketWindowClass;
  return c;
}

}  // namespace

HWND XSocketAllocateHWnd(TObject* Obj) {
  {
    CriticalSectionLock guard(WSocketUnit::instance().windowClassLock);
    WNDCLASSA record = socketWindowClass();
    record.hInstance = GetModuleInstance();
    WNDCLASSA existing;
    if (!GetClassInfoA(record.hInstance, kSocketWindowClass, &existing) && !RegisterClassA(&record))
      return nullptr;
  }
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kSocketWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, GetModuleInstance(), nullptr);
  if (window && Obj) SetWindowLongA(window, 0, reinterpret_cast<LONG_PTR>(Obj));
  return window;
}

BOOL XSocketDeallocateHWnd(HWND Wnd) { return DestroyWindow(Wnd); }

void WSocketUnregisterClass() {
  CriticalSectionLock guard(WSocketUnit::instance().windowClassLock);
  UnregisterClassA(kSocketWindowClass, GetModuleInstance());
}

LRESULT socketWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* object = reinterpret_cast<TObject*>(GetWindowLongA(Wnd, 0));
  auto* socket = dynamic_cast<TCustomWSocket*>(object);
  if (!socket) return DefWindowProcA(Wnd, Msg, WParam, LParam);
  TMessage msg{Msg, WParam, LParam, 0};
  socket->WndProc(msg);
  return msg.Result;
}

void TCustomWSocket::WndProc(TMessage& MsgRec) {
  try {
    switch (MsgRec.Msg) {
      case WM_ASYNCSELECT:
        WMASyncSelect(MsgRec);
        break;
      case WM_ASYNCGETHOSTBYNAME:
        WMAsyncGetHostByName(MsgRec);
        break;
      case WM_ASYNCGETHOSTBYADDR:
        WMAsyncGetHostByAddr(MsgRec);
        break;
      case WM_CLOSE_DELAYED:
        WMCloseDelayed(MsgRec);
        break;
      case WM_WSOCKET_RELEASE:
        WMRelease(MsgRec);  // the socket is gone afterwards
        return;
      case WM_TRIGGER_EXCEPTION:
        throw ESocketException("Test exception in WSocket");
      default:
        MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
    }
  } catch (Exception& E) {
    HandleBackGroundException(E);
  }
}

void TCustomWSocket::HandleBackGroundException(Exception& E) {
  bool CanClose = true;
  if (OnBgException) {
    try {
      OnBgException(this, E, CanClose);
    } catch (...) {
    }
  }
  if (CanClose) {
    try {
      Abort();
    } catch (...) {
    }
  }
}

void TCustomWSocket::WMCloseDelayed(TMessage&) { Close(); }
void TCustomWSocket::WMRelease(TMessage&) { delete this; }

void TCustomWSocket::AllocateSocketHWnd() {
  FWindowHandle = XSocketAllocateHWnd(this);
  FThreadId = GetCurrentThreadId();
  if (!FWindowHandle) RaiseException("Cannot create a hidden window for TWSocket");
}

void TCustomWSocket::DeallocateSocketHWnd() {
  if (!FWindowHandle) return;
  SetWindowLongA(FWindowHandle, 0, 0);  // what is still queued falls to the default procedure
  if (XSocketDeallocateHWnd(FWindowHandle)) FWindowHandle = nullptr;
}

bool TCustomWSocket::ProcessMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
  } else {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

// One pass (see PumpPass): a flooded queue does not hold the caller past the pass.
void TCustomWSocket::ProcessMessages() {
  const PumpPass pass;
  while (pass.GoesOn() && ProcessMessage()) {
  }
}

void TCustomWSocket::MessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  FTerminated = true;
}

void TCustomWSocket::MessagePump() {
  if (MultiThreaded)
    ProcessMessages();
  else
    ApplicationProcessMessages();
}

void TCustomWSocket::ThreadDetach() {
  if (GetCurrentThreadId() != FThreadId) {
    RaiseException("Cannot detach from other thread");
    return;
  }
  if (FHSocket != INVALID_SOCKET) WSockCall::WSAAsyncSelect(FHSocket, FWindowHandle, 0, 0);
  DeallocateSocketHWnd();
}

void TCustomWSocket::ThreadAttach() {
  if (FWindowHandle) {
    RaiseException("Cannot attach when not detached");
    return;
  }
  AllocateSocketHWnd();
  if (FHSocket != INVALID_SOCKET)
    WSockCall::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent);
}
