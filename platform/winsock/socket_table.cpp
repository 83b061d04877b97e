#include "winsock/socket_table.h"

#include <QSocketNotifier>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

#include "win32/windows.h"
#include "winsock/errors.h"
#include "winsock/sys.h"

namespace winsock {

struct SocketEntry {
  SOCKET handle = INVALID_SOCKET;
  int fd = -1;
  int type = SOCK_STREAM;
  bool nonBlocking = false;
  bool listening = false;
  bool connecting = false;
  bool connected = false;
  bool sendShutDown = false;
  std::atomic<bool> closed{false};  // set before the handle leaves the table
  // Selection.
  HWND window = nullptr;
  UINT message = 0;
  long mask = 0;
  bool readArmed = false;
  bool acceptArmed = false;
  bool writeArmed = false;
  bool closeReported = false;
  std::unique_ptr<QSocketNotifier> readNotifier;
  std::unique_ptr<QSocketNotifier> writeNotifier;
};

namespace {

std::mutex tableLock;
std::map<SOCKET, std::shared_ptr<SocketEntry>> table;
SOCKET nextHandle = 0x100;

std::shared_ptr<SocketEntry> lockedFind(SOCKET s) {
  std::lock_guard guard(tableLock);
  auto it = table.find(s);
  return it == table.end() ? nullptr : it->second;
}

// The sockets this thread looked up last, one slot per handle group (handles step by 4, so
// sockets made one after the other fall into different slots). A slot's reference keeps its
// entry alive; an entry closed since is not taken from here.
struct RecentEntries {
  static constexpr std::size_t kSlots = 16;
  static std::size_t slot(SOCKET s) { return (s >> 2) % kSlots; }
  std::shared_ptr<SocketEntry> entries[kSlots];
};
thread_local RecentEntries recent;

void post(SocketEntry& e, long event, int error) {
  if (!e.window || !e.message || !(e.mask & event)) return;
  PostMessageA(e.window, e.message, static_cast<WPARAM>(e.handle),
               MAKELONG(static_cast<WORD>(event), static_cast<WORD>(error)));
}

void update(SocketEntry& e);

void onReadable(const std::weak_ptr<SocketEntry>& weak) {
  auto e = weak.lock();
  if (!e) return;
  if (e->listening) {
    e->acceptArmed = false;
    post(*e, FD_ACCEPT, 0);
  } else if (e->type != SOCK_STREAM) {
    e->readArmed = false;
    post(*e, FD_READ, 0);
  } else {
    switch (sys::probeReadable(e->fd)) {
      case 1:
        e->readArmed = false;
        post(*e, FD_READ, 0);
        break;
      case 0:
        e->closeReported = true;
        post(*e, FD_CLOSE, 0);
        break;
      case -1:
        e->closeReported = true;
        post(*e, FD_CLOSE, fromErrno(errno));
        break;
      default:
        break;
    }
  }
  update(*e);
}

void onWritable(const std::weak_ptr<SocketEntry>& weak) {
  auto e = weak.lock();
  if (!e) return;
  if (e->connecting) {
    e->connecting = false;
    int error = fromErrno(sys::pendingError(e->fd));
    post(*e, FD_CONNECT, error);
    if (error == 0) {
      e->connected = true;
      e->readArmed = true;
      post(*e, FD_WRITE, 0);
    } else {
      e->closeReported = true;  // a failed connect reports nothing more
    }
    e->writeArmed = false;
  } else if (e->writeArmed) {
    e->writeArmed = false;
    post(*e, FD_WRITE, 0);
  }
  update(*e);
}

std::unique_ptr<QSocketNotifier> makeNotifier(const std::shared_ptr<SocketEntry>& e,
                                              QSocketNotifier::Type type) {
  auto notifier = std::make_unique<QSocketNotifier>(e->fd, type);
  notifier->setEnabled(false);
  std::weak_ptr<SocketEntry> weak = e;
  if (type == QSocketNotifier::Read)
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [weak] { onReadable(weak); });
  else
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [weak] { onWritable(weak); });
  return notifier;
}

// Turns the notifiers on exactly while an armed notice is wanted.
void update(SocketEntry& e) {
  bool selected = e.window && e.mask != 0;
  bool wantRead = false, wantWrite = false;
  if (selected && !e.closeReported) {
    if (e.listening)
      wantRead = e.acceptArmed && (e.mask & FD_ACCEPT);
    else if (!e.connecting)
      wantRead = e.readArmed && (e.mask & (FD_READ | FD_CLOSE));
    wantWrite = e.connecting ? true : e.writeArmed && (e.mask & FD_WRITE);
  }
  if (e.readNotifier) e.readNotifier->setEnabled(wantRead);
  if (e.writeNotifier) e.writeNotifier->setEnabled(wantWrite);
}

void stopNotifiers(SocketEntry& e) {
  for (auto* n : {&e.readNotifier, &e.writeNotifier}) {
    if (!*n) continue;
    if ((*n)->thread() == QThread::currentThread()) {
      (*n)->setEnabled(false);
      n->reset();
    } else {
      n->release()->deleteLater();
    }
  }
}

}  // namespace

SocketTable& SocketTable::instance() {
  static SocketTable t;
  return t;
}

SOCKET SocketTable::add(int fd, int type, bool connected) {
  auto e = std::make_shared<SocketEntry>();
  e->fd = fd;
  e->type = type;
  e->connected = connected;
  std::lock_guard guard(tableLock);
  e->handle = nextHandle;
  nextHandle += 4;
  table[e->handle] = e;
  return e->handle;
}

SocketEntry* SocketTable::find(SOCKET s) {
  auto& cached = recent.entries[RecentEntries::slot(s)];
  if (cached && cached->handle == s && !cached->closed.load(std::memory_order_acquire))
    return cached.get();
  cached = lockedFind(s);
  return cached.get();
}

int SocketTable::close(SOCKET s) {
  std::shared_ptr<SocketEntry> e;
  {
    std::lock_guard guard(tableLock);
    auto it = table.find(s);
    if (it == table.end()) return fail(WSAENOTSOCK);
    e = it->second;
    e->closed.store(true, std::memory_order_release);
    table.erase(it);
  }
  // Notifiers go before the descriptor, so none can fire for a number the system reuses.
  stopNotifiers(*e);
  bool lingerOn = false;
  int lingerSeconds = 0;
  if (e->nonBlocking && sys::getLinger(e->fd, &lingerOn, &lingerSeconds) == 0 && lingerOn &&
      lingerSeconds > 0) {
    // Winsock returns at once from a non-blocking socket and lingers in the background; the
    // system's close would hold the calling thread for up to the linger time.
    std::thread([fd = e->fd] { sys::closeSocket(fd); }).detach();
    return 0;
  }
  if (sys::closeSocket(e->fd) != 0 && errno != EINTR) return failFromErrno();
  return 0;
}

int descriptorOf(const SocketEntry& entry) { return entry.fd; }
int typeOf(const SocketEntry& entry) { return entry.type; }

int selectEvents(SocketEntry& e, HWND window, UINT message, long events) {
  if (events != 0 && (!window || !IsWindow(window))) return fail(WSAEINVAL);
  e.window = window;
  e.message = message;
  e.mask = message ? events : 0;
  if (e.mask != 0) {
    if (!e.nonBlocking) setNonBlockingMode(e, true);
    // A new selection re-enables every notice whose condition holds.
    e.readArmed = !e.connecting;
    e.acceptArmed = true;
    e.writeArmed = e.connected || (e.type != SOCK_STREAM && !e.listening);
    // Notices are watched on the selecting thread (a socket moved to another thread).
    if (e.readNotifier && e.readNotifier->thread() != QThread::currentThread()) stopNotifiers(e);
    auto shared = lockedFind(e.handle);
    if (shared && !e.readNotifier) e.readNotifier = makeNotifier(shared, QSocketNotifier::Read);
    if (shared && !e.writeNotifier) e.writeNotifier = makeNotifier(shared, QSocketNotifier::Write);
  }
  update(e);
  return 0;
}

void connectStarted(SocketEntry& e, int immediateError) {
  if (immediateError != 0) {
    // The outcome is told by FD_CONNECT, as for a connect that completes later.
    e.closeReported = true;
    post(e, FD_CONNECT, immediateError);
    update(e);
    return;
  }
  e.connecting = true;
  e.readArmed = false;
  update(e);
}

void connectedNow(SocketEntry& e) {
  e.connected = true;
  // A non-blocking connect that completed at once still gives FD_CONNECT (a datagram or raw
  // connect always completes at once).
  if (e.mask) {
    e.connecting = true;
    update(e);
  }
}

void listening(SocketEntry& e) {
  e.listening = true;
  e.acceptArmed = true;
  e.writeArmed = false;
  update(e);
}

void received(SocketEntry& e) {
  e.readArmed = true;
  update(e);
}

void accepted(SocketEntry& e) {
  e.acceptArmed = true;
  update(e);
}

void sendBlocked(SocketEntry& e) {
  e.writeArmed = true;
  update(e);
}

void shutDownSending(SocketEntry& e) { e.sendShutDown = true; }
bool sendingShutDown(const SocketEntry& e) { return e.sendShutDown; }
bool isNonBlocking(const SocketEntry& e) { return e.nonBlocking; }

void setNonBlockingMode(SocketEntry& e, bool on) {
  sys::setNonBlocking(e.fd, on);
  e.nonBlocking = on;
}

}  // namespace winsock
