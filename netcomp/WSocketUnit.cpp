// Start-up and finalization of the unit.
#include "netcomp/WSocketUnit.h"

#include "netcomp/WSocket.h"

namespace WSocketUnit {

State::State() : localIPList(std::make_unique<TStringList>()) {
  InitializeCriticalSection(&windowClassLock);
  InitializeCriticalSection(&winsockLock);
  WinsockRegisterModules();
}

// With sockets still alive both locks are left in place.
State::~State() {
  localIPList.reset();
  if (liveSockets() < 1) {
    DeleteCriticalSection(&windowClassLock);
    WSocketUnloadWinsock();
    DeleteCriticalSection(&winsockLock);
  }
}

State& instance() {
  static State state;
  return state;
}

namespace {
[[maybe_unused]] State& startedAtLoad = instance();
}

}  // namespace WSocketUnit
