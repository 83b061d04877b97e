// Windows, window longs and the per-thread message queue on Qt's event loop.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <thread>
#include <vector>

#include "Pump.h"
#include "win32/modules.h"
#include "win32/ticks.h"
#include "win32/windows.h"

namespace {

std::vector<std::pair<UINT, WPARAM>> received;

LRESULT recordingProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
  received.emplace_back(msg, wParam);
  return 7;
}

class TestWindow {
 public:
  TestWindow() {
    WNDCLASSA c{};
    c.lpfnWndProc = &recordingProc;
    c.cbWndExtra = sizeof(LONG_PTR);
    c.lpszClassName = "QueueTestClass";
    WNDCLASSA existing;
    if (!GetClassInfoA(GetModuleInstance(), c.lpszClassName, &existing)) RegisterClassA(&c);
    window = CreateWindowExA(WS_EX_TOOLWINDOW, "QueueTestClass", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                             nullptr, GetModuleInstance(), nullptr);
    received.clear();
  }
  ~TestWindow() { DestroyWindow(window); }
  HWND window;
};

}  // namespace

TEST(MessageQueue, PostedMessagesReachTheWindowInOrderInsideAnyQtLoop) {
  TestWindow w;
  for (WPARAM i = 0; i < 5; ++i) PostMessageA(w.window, WM_USER + 1, i, 0);
  QEventLoop loop;
  QTimer::singleShot(100, &loop, &QEventLoop::quit);
  loop.exec();
  ASSERT_EQ(received.size(), 5u);
  for (WPARAM i = 0; i < 5; ++i) EXPECT_EQ(received[i].second, i);
}

TEST(MessageQueue, PeekMessageTakesFifoAndDispatchReturnsTheProcedureResult) {
  TestWindow w;
  PostMessageA(w.window, WM_USER + 1, 1, 0);
  PostMessageA(w.window, WM_USER + 2, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1u);
  EXPECT_EQ(DispatchMessageA(&msg), 7);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, MessagesForADestroyedWindowAreLost) {
  auto* w = new TestWindow;
  HWND window = w->window;
  PostMessageA(window, WM_USER + 1, 1, 0);
  delete w;
  pumpFor(50);
  EXPECT_TRUE(received.empty());
  EXPECT_FALSE(PostMessageA(window, WM_USER + 1, 1, 0));
  EXPECT_FALSE(IsWindow(window));
}

TEST(MessageQueue, WindowHandlesAreNotReused) {
  HWND first = TestWindow().window;
  HWND second = TestWindow().window;
  EXPECT_NE(first, second);
}

TEST(MessageQueue, QuitStaysQueuedForThePumpsAndGetMessageReturnsZero) {
  TestWindow w;
  PostMessageA(w.window, WM_USER + 1, 1, 0);
  PostQuitMessage(3);
  pumpFor(50);  // Qt's loop dispatches the window message but leaves WM_QUIT
  EXPECT_EQ(received.size(), 1u);
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(MessageQueue, PostFromAnotherThreadIsDispatchedOnTheWindowsThread) {
  TestWindow w;
  DWORD owner = GetCurrentThreadId();
  DWORD dispatchedOn = 0;
  std::thread([&] { PostMessageA(w.window, WM_USER + 9, 9, 0); }).join();
  ASSERT_TRUE(pumpUntil([&] { return !received.empty(); }));
  dispatchedOn = GetCurrentThreadId();
  EXPECT_EQ(dispatchedOn, owner);
  EXPECT_EQ(received[0].first, WM_USER + 9u);
}

TEST(MessageQueue, WindowLongsHoldAPointerAndRejectBadIndexes) {
  TestWindow w;
  int object = 0;
  EXPECT_EQ(SetWindowLongA(w.window, 0, reinterpret_cast<LONG_PTR>(&object)), 0);
  EXPECT_EQ(GetWindowLongA(w.window, 0), reinterpret_cast<LONG_PTR>(&object));
  EXPECT_EQ(SetWindowLongA(w.window, 8, 1), 0);
  EXPECT_EQ(GetLastError(), 1413u);
}

TEST(Ticks, ElapsedTimeIsRightAcrossTheCountersWrap) {
  EXPECT_EQ(TicksElapsed(0xFFFFFFF0u, 0x10u), 0x20u);
  EXPECT_EQ(TicksElapsed(100, 350), 250u);
  DWORD start = GetTickCount();
  Sleep(20);
  EXPECT_GE(TicksElapsed(start, GetTickCount()), 19u);
}
