#include "winsock/lookups.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "win32/windows.h"
#include "winsock/errors.h"
#include "winsock/host_entry.h"
#include "winsock/sys.h"

namespace winsock {
namespace {

struct Request {
  std::uintptr_t handle = 0;
  HWND window = nullptr;
  UINT message = 0;
  bool byName = true;
  std::string name;
  std::uint32_t address = 0;
  char* buffer = nullptr;
  int size = 0;
};

class LookupWorker {
 public:
  static LookupWorker& instance() {
    static LookupWorker worker;
    return worker;
  }

  HANDLE start(Request request) {
    std::lock_guard guard(lock_);
    request.handle = nextHandle_++;
    pending_[request.handle] = true;
    queue_.push_back(request);
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    wake_.notify_one();
    return reinterpret_cast<HANDLE>(request.handle);
  }

  int cancel(HANDLE task) {
    std::lock_guard guard(lock_);
    auto it = pending_.find(reinterpret_cast<std::uintptr_t>(task));
    if (it == pending_.end()) return fail(WSAEINVAL);
    if (!it->second) return fail(WSAEALREADY);
    pending_.erase(it);  // the worker finds it gone and delivers nothing
    return 0;
  }

  ~LookupWorker() {
    {
      std::lock_guard guard(lock_);
      stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

 private:
  LookupWorker() = default;

  void run() {
    std::unique_lock guard(lock_);
    for (;;) {
      wake_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      Request request = queue_.front();
      queue_.pop_front();
      if (!pending_.count(request.handle)) continue;
      guard.unlock();
      sys::HostEntry entry;
      int code = request.byName ? sys::hostByName(request.name, &entry)
                                : sys::hostByAddress(request.address, &entry);
      guard.lock();
      deliver(request, fromResolverCode(code), entry);
    }
  }

  // Under the lock, so a cancel either comes first (nothing is written) or finds it answered.
  void deliver(const Request& request, int error, const sys::HostEntry& entry) {
    auto it = pending_.find(request.handle);
    if (it == pending_.end()) return;
    it->second = false;
    if (error == 0 && !packHostEntry(entry, request.buffer, request.size)) error = WSAENOBUFS;
    PostMessageA(request.window, request.message, request.handle,
                 MAKELONG(0, static_cast<WORD>(error)));
    // Answered requests are kept only so that a late cancel can tell; forget old ones.
    while (pending_.size() > 256 && !pending_.begin()->second) pending_.erase(pending_.begin());
  }

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Request> queue_;
  std::map<std::uintptr_t, bool> pending_;  // handle -> still unanswered
  std::uintptr_t nextHandle_ = 1;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace

HANDLE startHostByName(HWND window, UINT message, const std::string& name, char* buffer, int size) {
  Request r;
  r.window = window;
  r.message = message;
  r.name = name;
  r.buffer = buffer;
  r.size = size;
  return LookupWorker::instance().start(r);
}

HANDLE startHostByAddress(HWND window, UINT message, std::uint32_t address, char* buffer,
                          int size) {
  Request r;
  r.window = window;
  r.message = message;
  r.byName = false;
  r.address = address;
  r.buffer = buffer;
  r.size = size;
  return LookupWorker::instance().start(r);
}

int cancelLookup(HANDLE task) { return LookupWorker::instance().cancel(task); }

}  // namespace winsock
