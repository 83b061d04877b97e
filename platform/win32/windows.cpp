// The table of window classes and windows, and the per-thread message queues that Qt's event
// loop drains. See windows.h for the rules.
#include "win32/windows.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "win32/modules.h"
#include "win32/ticks.h"

namespace {

constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorInvalidWindowHandle = 1400;
constexpr DWORD kErrorInvalidIndex = 1413;
constexpr DWORD kErrorClassAlreadyExists = 1410;
constexpr DWORD kErrorClassDoesNotExist = 1411;
constexpr DWORD kErrorInvalidThreadId = 1444;

const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct ThreadQueue;

// Lives in the queue's thread; its events dispatch the posted messages in order, so that Qt's
// loop (whichever runs) delivers them. Wake-ups are coalesced: one event is pending at a time
// and dispatches the messages that wait when it runs and those posted meanwhile (see
// drainQueue).
class QueueWaker : public QObject {
 public:
  explicit QueueWaker(ThreadQueue* queue) : queue_(queue) {}
  bool event(QEvent* e) override;

 private:
  ThreadQueue* queue_;
};

struct ThreadQueue {
  DWORD threadId = 0;
  std::deque<MSG> messages;  // guarded by the registry lock, as are the next two
  bool wakePending = false;  // an event for the waker is posted and has not yet run
  bool ended = false;        // the thread is gone: nothing more is queued
  std::condition_variable posted;
  QueueWaker* waker = nullptr;
};

struct WindowClass {
  WNDCLASSA record{};
  std::string name;
};

struct Window {
  WNDPROC proc = nullptr;
  DWORD threadId = 0;
  std::shared_ptr<ThreadQueue> queue;  // the creating thread's
  std::vector<LONG_PTR> longs;
};

class Registry {
 public:
  static Registry& instance() {
    static Registry registry;
    return registry;
  }
  std::mutex lock;
  std::map<std::string, WindowClass> classes;
  std::unordered_map<std::uintptr_t, Window> windows;
  std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
  std::uintptr_t nextWindow = 0x10000;
};

std::atomic<DWORD> nextThreadId{1};
ApplicationPumpFn applicationPump = nullptr;
ApplicationTerminatedFn applicationTerminated = nullptr;

// Owns the calling thread's queue for the thread's lifetime.
struct ThreadQueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~ThreadQueueHolder() {
    if (!queue) return;
    std::lock_guard guard(Registry::instance().lock);
    Registry::instance().queues.erase(queue->threadId);
    queue->ended = true;
    delete queue->waker;
    queue->waker = nullptr;
  }
};

std::shared_ptr<ThreadQueue> currentQueue() {
  thread_local ThreadQueueHolder holder;
  if (!holder.queue) {
    auto queue = std::make_shared<ThreadQueue>();
    queue->threadId = GetCurrentThreadId();
    queue->waker = new QueueWaker(queue.get());
    std::lock_guard guard(Registry::instance().lock);
    Registry::instance().queues[queue->threadId] = queue;
    holder.queue = queue;
  }
  return holder.queue;
}

Window* findWindow(Registry& r, HWND window) {
  auto it = r.windows.find(reinterpret_cast<std::uintptr_t>(window));
  return it == r.windows.end() ? nullptr : &it->second;
}

// Posts the waker's event unless one is pending (registry lock held).
void wake(ThreadQueue& queue) {
  if (queue.wakePending || !queue.waker) return;
  queue.wakePending = true;
  QCoreApplication::postEvent(queue.waker, new QEvent(kPostedMessageEvent));
}

// Appends to a thread's queue (registry lock held) and wakes that thread.
void enqueue(ThreadQueue& queue, const MSG& msg) {
  queue.messages.push_back(msg);
  queue.posted.notify_all();
  wake(queue);
}

// Takes the oldest message that is not WM_QUIT (which stays for the pumps); false when none.
// While more wait, a wake-up stays pending for them: a window procedure that runs a loop of
// its own (a modal dialog) still has them delivered.
bool takeDispatchable(ThreadQueue& queue, MSG& msg) {
  std::lock_guard guard(Registry::instance().lock);
  auto it = std::find_if(queue.messages.begin(), queue.messages.end(),
                         [](const MSG& m) { return m.message != WM_QUIT; });
  if (it == queue.messages.end()) return false;
  msg = *it;
  queue.messages.erase(it);
  if (!queue.messages.empty()) wake(queue);
  return true;
}

// One wake-up's work: the messages that wait, oldest first, also those that the procedures
// post meanwhile (a reply that asks for the next step), until the queue is empty or a tenth
// of a millisecond has passed; then Qt serves its other sources (socket notifiers, timers,
// input) before the pending wake-up goes on. A longer slice starves the notifiers: a sender
// that is always given another turn fills the whole socket buffer before its reader runs.
void drainQueue(ThreadQueue& queue) {
  constexpr auto kSlice = std::chrono::microseconds(100);
  {
    std::lock_guard guard(Registry::instance().lock);
    queue.wakePending = false;
  }
  const auto end = std::chrono::steady_clock::now() + kSlice;
  MSG msg;
  while (takeDispatchable(queue, msg)) {
    if (msg.hwnd) DispatchMessageA(&msg);
    if (std::chrono::steady_clock::now() >= end) {
      std::lock_guard guard(Registry::instance().lock);
      if (!queue.messages.empty()) wake(queue);
      return;
    }
  }
}

bool QueueWaker::event(QEvent* e) {
  if (e->type() != kPostedMessageEvent) return QObject::event(e);
  drainQueue(*queue_);
  return true;
}

bool takeFront(ThreadQueue& queue, MSG& msg, bool remove) {
  std::lock_guard guard(Registry::instance().lock);
  if (queue.messages.empty()) return false;
  msg = queue.messages.front();
  if (remove) queue.messages.pop_front();
  return true;
}

}  // namespace

HINSTANCE GetModuleInstance() {
  static char moduleTag;
  return &moduleTag;
}

DWORD GetCurrentThreadId() {
  thread_local DWORD id = nextThreadId++;
  return id;
}

ATOM RegisterClassA(const WNDCLASSA* wndClass) {
  if (!wndClass || !wndClass->lpszClassName || !wndClass->lpfnWndProc) return 0;
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  std::string name = wndClass->lpszClassName;
  if (r.classes.count(name)) {
    SetLastError(kErrorClassAlreadyExists);
    return 0;
  }
  WindowClass& entry = r.classes[name];
  entry.record = *wndClass;
  entry.name = name;
  entry.record.lpszClassName = entry.name.c_str();
  return static_cast<ATOM>(0xC000 + r.classes.size());
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* wndClass) {
  if (!className) return FALSE;
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  auto it = r.classes.find(className);
  if (it == r.classes.end()) {
    SetLastError(kErrorClassDoesNotExist);
    return FALSE;
  }
  if (wndClass) *wndClass = it->second.record;
  return TRUE;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (!className) return FALSE;
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  if (r.classes.erase(className) == 0) {
    SetLastError(kErrorClassDoesNotExist);
    return FALSE;
  }
  return TRUE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                     HINSTANCE, LPVOID) {
  auto queue = currentQueue();  // the window's messages are dispatched on this thread
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  auto it = className ? r.classes.find(className) : r.classes.end();
  if (it == r.classes.end()) {
    SetLastError(kErrorClassDoesNotExist);
    return nullptr;
  }
  Window window;
  window.proc = it->second.record.lpfnWndProc;
  window.threadId = GetCurrentThreadId();
  window.queue = std::move(queue);
  window.longs.assign(std::max(0, it->second.record.cbWndExtra) / sizeof(LONG_PTR), 0);
  std::uintptr_t handle = r.nextWindow++;
  r.windows[handle] = std::move(window);
  return reinterpret_cast<HWND>(handle);
}

BOOL DestroyWindow(HWND window) {
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  auto it = r.windows.find(reinterpret_cast<std::uintptr_t>(window));
  if (it == r.windows.end()) {
    SetLastError(kErrorInvalidWindowHandle);
    return FALSE;
  }
  // Whatever is still queued for the window is lost with it.
  std::erase_if(it->second.queue->messages, [window](const MSG& m) { return m.hwnd == window; });
  r.windows.erase(it);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  return findWindow(r, window) ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
  if (processId) *processId = 1;
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  Window* w = findWindow(r, window);
  return w ? w->threadId : 0;
}

namespace {
LONG_PTR* windowLong(Registry& r, HWND window, int index) {
  Window* w = findWindow(r, window);
  if (!w) {
    SetLastError(kErrorInvalidWindowHandle);
    return nullptr;
  }
  if (index < 0 || index % sizeof(LONG_PTR) != 0 ||
      static_cast<std::size_t>(index) / sizeof(LONG_PTR) >= w->longs.size()) {
    SetLastError(kErrorInvalidIndex);
    return nullptr;
  }
  return &w->longs[index / sizeof(LONG_PTR)];
}
}  // namespace

LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value) {
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  LONG_PTR* slot = windowLong(r, window, index);
  if (!slot) return 0;
  return std::exchange(*slot, value);
}

LONG_PTR GetWindowLongA(HWND window, int index) {
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  LONG_PTR* slot = windowLong(r, window, index);
  return slot ? *slot : 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  Window* w = findWindow(r, window);
  if (!w) {
    SetLastError(kErrorInvalidWindowHandle);
    return FALSE;
  }
  if (w->queue->ended) return FALSE;
  enqueue(*w->queue, MSG{window, message, wParam, lParam, 0});
  return TRUE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (threadId == GetCurrentThreadId()) currentQueue();
  auto& r = Registry::instance();
  std::lock_guard guard(r.lock);
  auto queue = r.queues.find(threadId);
  if (queue == r.queues.end()) {
    SetLastError(kErrorInvalidThreadId);
    return FALSE;
  }
  enqueue(*queue->second, MSG{nullptr, message, wParam, lParam, 0});
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{window, message, wParam, lParam, 0};
  return DispatchMessageA(&msg);
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT removeMsg) {
  auto queue = currentQueue();
  bool remove = (removeMsg & PM_REMOVE) != 0;
  if (takeFront(*queue, *msg, remove)) return TRUE;
  QCoreApplication::processEvents();
  return takeFront(*queue, *msg, remove) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT) {
  auto queue = currentQueue();
  while (!takeFront(*queue, *msg, true)) {
    if (QAbstractEventDispatcher::instance()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else {
      std::unique_lock guard(Registry::instance().lock);
      queue->posted.wait(guard, [&] { return !queue->messages.empty(); });
    }
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE*, BOOL, DWORD milliseconds, DWORD) {
  if (count != 0) {
    SetLastError(kErrorInvalidParameter);
    return WAIT_FAILED;
  }
  auto queue = currentQueue();
  const auto queued = [&] { return !queue->messages.empty(); };
  {
    std::lock_guard guard(Registry::instance().lock);
    if (queued()) return WAIT_OBJECT_0;
  }
  if (milliseconds == 0) return WAIT_TIMEOUT;
  if (!QAbstractEventDispatcher::instance()) {
    // No Qt loop on this thread: only a posted message can wake it.
    std::unique_lock guard(Registry::instance().lock);
    if (milliseconds == INFINITE) {
      queue->posted.wait(guard, queued);
      return WAIT_OBJECT_0;
    }
    return queue->posted.wait_for(guard, std::chrono::milliseconds(milliseconds), queued)
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
  }
  // Qt sleeps until it has something to deliver: a posted message wakes it through the
  // queue's waker, the timer ends the wait.
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  if (milliseconds != INFINITE)
    deadline.start(static_cast<int>(std::min<DWORD>(milliseconds, 0x7FFFFFFF)));
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (milliseconds != INFINITE && !deadline.isActive()) {
    std::lock_guard guard(Registry::instance().lock);
    if (!queued()) return WAIT_TIMEOUT;
  }
  return WAIT_OBJECT_0;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  WNDPROC proc = nullptr;
  {
    auto& r = Registry::instance();
    std::lock_guard guard(r.lock);
    if (Window* w = findWindow(r, msg->hwnd)) proc = w->proc;
  }
  return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

PumpPass::PumpPass() : start_(GetTickCount()) {}

bool PumpPass::GoesOn() const { return TicksElapsed(start_, GetTickCount()) < kPumpPassMs; }

void SetApplicationMessagePump(ApplicationPumpFn pump) { applicationPump = pump; }

void ApplicationProcessMessages() {
  if (applicationPump) {
    applicationPump();
    return;
  }
  const PumpPass pass;
  MSG msg;
  while (pass.GoesOn() && PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) &&
         msg.message != WM_QUIT) {
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void SetApplicationTerminatedQuery(ApplicationTerminatedFn query) { applicationTerminated = query; }

bool ApplicationTerminated() {
  if (applicationTerminated) return applicationTerminated();
  auto queue = currentQueue();
  std::lock_guard guard(Registry::instance().lock);
  return std::any_of(queue->messages.begin(), queue->messages.end(),
                     [](const MSG& m) { return m.message == WM_QUIT; });
}
