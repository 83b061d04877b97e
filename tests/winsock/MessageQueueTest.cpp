// Windows, window longs and the per-thread message queue on Qt's event loop.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <ctime>
#include <thread>
#include <vector>

#include "FloodingWindow.h"
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

// The rest of the queue is delivered inside a Qt loop that a window procedure runs (a modal
// dialog), and a procedure that keeps posting does not keep Qt's timers from running.
TEST(MessageQueue, ALoopInsideAProcedureGetsTheRestAndReposting) {
  static std::vector<WPARAM> order;
  static HWND self = nullptr;
  static int reposts = 0;
  static bool nestedGotTheRest = false;
  static bool timerRan = false;
  static int repostsWhenTheTimerRan = 0;
  order.clear();
  reposts = 0;
  timerRan = false;
  WNDCLASSA c{};
  c.lpfnWndProc = [](HWND, UINT msg, WPARAM wParam, LPARAM) -> LRESULT {
    if (msg == WM_USER + 3) {
      // A timer started inside the chain runs before the chain ends.
      if (reposts == 10) {
        QTimer::singleShot(0, [] {
          timerRan = true;
          repostsWhenTheTimerRan = reposts;
        });
      }
      if (++reposts < 100000) PostMessageA(self, WM_USER + 3, 0, 0);
      return 0;
    }
    order.push_back(wParam);
    if (wParam == 1) {
      QEventLoop nested;
      QTimer::singleShot(2000, &nested, &QEventLoop::quit);
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        if (order.size() == 3) nested.quit();
      });
      poll.start(1);
      nested.exec();
      nestedGotTheRest = order.size() == 3;
    }
    return 0;
  };
  c.lpszClassName = "NestedLoopTestClass";
  WNDCLASSA existing;
  if (!GetClassInfoA(GetModuleInstance(), c.lpszClassName, &existing)) RegisterClassA(&c);
  self = CreateWindowExA(0, c.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         GetModuleInstance(), nullptr);
  for (WPARAM i = 1; i <= 3; ++i) PostMessageA(self, WM_USER + 1, i, 0);
  ASSERT_TRUE(pumpUntil([] { return order.size() == 3; }, 1000));
  EXPECT_EQ(order, (std::vector<WPARAM>{1, 2, 3}));
  EXPECT_TRUE(nestedGotTheRest);

  PostMessageA(self, WM_USER + 3, 0, 0);
  ASSERT_TRUE(pumpUntil([] { return timerRan; }, 2000));
  EXPECT_LT(repostsWhenTheTimerRan, 100000);
  DestroyWindow(self);
}

// A window that keeps posting to itself (as a flooded socket's notices do) does not hold the
// pump: it returns after its pass, and the queue's rest waits for the next one.
TEST(MessageQueue, APumpPassEndsWhileAWindowKeepsTheQueueFull) {
  FloodingWindow flood;
  QElapsedTimer pass;
  pass.start();
  ApplicationProcessMessages();
  EXPECT_LT(pass.elapsed(), 1000);
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

namespace {

// Processor time the calling thread has used, in milliseconds.
double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// One wait: what it returned, how long it took and how much processor time it used.
struct Waited {
  DWORD result;
  qint64 elapsedMs;
  double cpuMs;
};

Waited waitOnce(DWORD milliseconds) {
  QElapsedTimer clock;
  clock.start();
  const double cpu = threadCpuMs();
  const DWORD result = MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
  return {result, clock.elapsed(), threadCpuMs() - cpu};
}

}  // namespace

TEST(MessageWait, AQueuedMessageEndsTheWaitAtOnceAndAnEmptyQueueSleepsUntilTheTimeOut) {
  TestWindow w;
  PostMessageA(w.window, WM_USER + 1, 1, 0);
  Waited queued = waitOnce(1000);
  EXPECT_EQ(queued.result, WAIT_OBJECT_0);
  EXPECT_LT(queued.elapsedMs, 100);
  pumpFor(20);

  Waited idle = waitOnce(300);
  EXPECT_EQ(idle.result, WAIT_TIMEOUT);
  EXPECT_GE(idle.elapsedMs, 295);
  EXPECT_LT(idle.cpuMs, 60.0) << "the wait spins";
  EXPECT_EQ(waitOnce(0).result, WAIT_TIMEOUT);
}

TEST(MessageWait, AMessagePostedFromAnotherThreadOrAQtEventWakesItEarly) {
  TestWindow w;
  std::thread poster([&] {
    Sleep(100);
    PostMessageA(w.window, WM_USER + 5, 5, 0);
  });
  Waited posted = waitOnce(2000);
  poster.join();
  EXPECT_EQ(posted.result, WAIT_OBJECT_0);
  EXPECT_LT(posted.elapsedMs, 1000);
  pumpUntil([] { return !received.empty(); });
  ASSERT_EQ(received.size(), 1u);  // delivered once, by the wait's loop or by the pump
  EXPECT_EQ(received[0].first, WM_USER + 5u);

  bool fired = false;
  QTimer::singleShot(100, [&] { fired = true; });
  Waited qtEvent = waitOnce(INFINITE);
  EXPECT_EQ(qtEvent.result, WAIT_OBJECT_0);
  EXPECT_TRUE(fired);
  EXPECT_LT(qtEvent.elapsedMs, 1000);
}

TEST(MessageWait, AThreadWithoutAQtLoopWaitsForItsQueueAndHandlesAreRefused) {
  std::atomic<DWORD> waiter{0};
  std::atomic<DWORD> result{1};
  std::atomic<qint64> elapsed{0};
  std::thread t([&] {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the thread's queue
    waiter = GetCurrentThreadId();
    QElapsedTimer clock;
    clock.start();
    result = MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT);
    elapsed = clock.elapsed();
  });
  while (waiter == 0) Sleep(1);
  Sleep(100);
  PostThreadMessageA(waiter, WM_USER + 3, 0, 0);
  t.join();
  EXPECT_EQ(result.load(), WAIT_OBJECT_0);
  EXPECT_LT(elapsed.load(), 2000);

  HANDLE handle = nullptr;
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &handle, FALSE, 10, QS_ALLINPUT), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), 87u);
}
