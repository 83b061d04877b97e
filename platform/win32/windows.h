#pragma once
// Windows, window classes, window longs and per-thread message queues, on Qt's event loop.
//
// Every window belongs to the thread that created it; PostMessageA appends to that thread's
// queue and wakes Qt there, so posted messages are dispatched inside whatever loop runs on
// that thread (QCoreApplication::exec, a QEventLoop, a modal dialog, or one of the pumps
// below). The queue is first in, first out per thread. A message for a destroyed window is
// lost. Window handles are never reused within a run.
#include "win32/types.h"

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

// The instance handle of the running module.
HINSTANCE GetModuleInstance();

ATOM RegisterClassA(const WNDCLASSA* wndClass);
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* wndClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);

// Window longs: index 0 .. cbWndExtra - sizeof(LONG_PTR) in steps of a pointer width.
LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongA(HWND window, int index);

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Only a null window filter and a 0..0 range (any window, any message of the thread) are
// supported. With an empty queue Qt first delivers what is pending (socket notifiers, timers,
// posted events), then the queue is looked at again.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg);
// Waits (running Qt's event loop) until a message is there; 0 for WM_QUIT, else non-zero.
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);

DWORD GetCurrentThreadId();

// The input kinds of a wake mask. Here every mask is woken alike: by a message posted to
// the calling thread's queue and by any event Qt delivers on the thread (socket notifiers,
// timers, user input), since Qt does not tell those apart before it delivers them.
inline constexpr DWORD QS_KEY = 0x0001;
inline constexpr DWORD QS_MOUSEMOVE = 0x0002;
inline constexpr DWORD QS_MOUSEBUTTON = 0x0004;
inline constexpr DWORD QS_POSTMESSAGE = 0x0008;
inline constexpr DWORD QS_TIMER = 0x0010;
inline constexpr DWORD QS_PAINT = 0x0020;
inline constexpr DWORD QS_SENDMESSAGE = 0x0040;
inline constexpr DWORD QS_HOTKEY = 0x0080;
inline constexpr DWORD QS_ALLPOSTMESSAGE = 0x0100;
inline constexpr DWORD QS_ALLINPUT = 0x04FF;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// Waits, without spinning the processor, until the calling thread has input or the time
// (milliseconds, or INFINITE) has passed. Input is a message in the thread's queue (the wait
// returns at once when one is already there) or an event that Qt delivers on the thread
// while it waits; Qt's delivery may itself dispatch posted messages to their windows, as any
// loop does. Returns WAIT_OBJECT_0 + count for input, WAIT_TIMEOUT when the time passed.
// No waitable handles exist in this layer: a count above 0 fails (WAIT_FAILED, error 87).
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask);

// One pass of a message pump. A pump takes messages until the queue is empty, or until its
// pass has run for kPumpPassMs: a window that always has more to do (a peer that floods a
// socket keeps posting its notices) must not keep the pump's caller, who may wait on a
// deadline or on the application's end, from looking at them between passes.
inline constexpr DWORD kPumpPassMs = 50;
class PumpPass {
 public:
  PumpPass();
  // Whether the pass may take another message.
  bool GoesOn() const;

 private:
  DWORD start_;
};

// The application object's message pump: drains the calling thread's queue (one pass). The forms
// layer installs its own (which also records termination on WM_QUIT); the default one drains with
// PeekMessageA and leaves a WM_QUIT it meets for GetMessageA.
using ApplicationPumpFn = void (*)();
void SetApplicationMessagePump(ApplicationPumpFn pump);
void ApplicationProcessMessages();

// Whether the application is terminating. The forms layer installs its own answer; the
// default one tells whether a WM_QUIT waits in the calling thread's queue (the default pump
// leaves it there).
using ApplicationTerminatedFn = bool (*)();
void SetApplicationTerminatedQuery(ApplicationTerminatedFn query);
bool ApplicationTerminated();
