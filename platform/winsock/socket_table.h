#pragma once
// The table of socket handles over the descriptors, and the WSAAsyncSelect notices.
//
// Handles count up and are never reused within a run. A selected socket is watched with
// QSocketNotifier on the thread that selected it and posts its window message as Winsock
// does: FD_CONNECT once with the outcome, then FD_WRITE; FD_WRITE again after a send that
// would block or took less than offered; FD_READ again after each recv while data remains;
// FD_ACCEPT again after each accept; FD_CLOSE once, after the data, when the peer has closed
// (error 0) or reset (10054).
#include <memory>

#include "winsock/winsock.h"

namespace winsock {

struct SocketEntry;

class SocketTable {
 public:
  static SocketTable& instance();

  // A new handle for an open descriptor.
  SOCKET add(int fd, int type, bool connected);
  // The socket of a handle, or nullptr. The entry stays valid for the calling thread until its
  // next look-up: each thread keeps the sockets it used last, so that most calls take neither
  // the table's lock nor a reference.
  SocketEntry* find(SOCKET s);
  // Forgets the handle, stops its notices and closes the descriptor.
  int close(SOCKET s);

 private:
  SocketTable() = default;
};

int descriptorOf(const SocketEntry& entry);
int typeOf(const SocketEntry& entry);

int selectEvents(SocketEntry& entry, HWND window, UINT message, long events);
// What the entry points tell the watcher.
void connectStarted(SocketEntry& entry, int immediateError);
void connectedNow(SocketEntry& entry);
void listening(SocketEntry& entry);
void received(SocketEntry& entry);
void accepted(SocketEntry& entry);
void sendBlocked(SocketEntry& entry);
void shutDownSending(SocketEntry& entry);
bool sendingShutDown(const SocketEntry& entry);
bool isNonBlocking(const SocketEntry& entry);
void setNonBlockingMode(SocketEntry& entry, bool on);

}  // namespace winsock
