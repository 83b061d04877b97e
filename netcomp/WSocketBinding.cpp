// The run-time binding of Winsock: loading by name, the entry-point table, the live-socket
// count that keeps Winsock loaded, force-load and unload.
#include <cstring>
#include <string>

#include "netcomp/WSocket.h"
#include "netcomp/WSocketUnit.h"
#include "win32/modules.h"

namespace {

const char* const kWinsockName = "wsock32.dll";
const char* const kWinsock2Name = "ws2_32.dll";

// One slot per entry point, filled on first use and emptied at unload.
struct EntryPointTable {
#define WSOCKET_SLOT(name, result, params, args) T##name name = nullptr;
  WINSOCK_ENTRY_POINTS(WSOCKET_SLOT)
#undef WSOCKET_SLOT
};

struct Binding {
  int liveSockets = 0;
  bool forceLoaded = false;
  BYTE reqVerLow = 1;
  BYTE reqVerHigh = 1;
  HMODULE winsock = nullptr;
  HMODULE winsock2 = nullptr;
  EntryPointTable entries;
  WSAData startup{};
};

// Kept for the whole run: the unit's finalization still unloads through it.
Binding& binding() {
  static Binding* b = new Binding;
  return *b;
}

AnsiString decimal(long long value) { return AnsiString(std::to_string(value)); }

// Step one of every look-up: load and start wsock32.dll when it is not loaded.
void loadWinsock() {
  Binding& b = binding();
  if (b.winsock) return;
  b.winsock = LoadLibraryA(kWinsockName);
  if (!b.winsock)
    throw ESocketException(AnsiString("Unable to load ") + kWinsockName + " Error #" +
                           decimal(GetLastError()));
  WORD version = static_cast<WORD>(b.reqVerLow | (b.reqVerHigh << 8));
  int result = WSockCall::WSAStartup(version, &b.startup);
  if (result != 0)
    throw ESocketException(AnsiString(kWinsockName) + ": WSAStartup error #" + decimal(result));
}

FARPROC lookUp(HMODULE module, const char* moduleName, const AnsiString& ProcName) {
  FARPROC proc = GetProcAddress(module, ProcName.c_str());
  if (!proc)
    throw ESocketException("Procedure " + ProcName + " not found in " + moduleName + " Error #" +
                           decimal(GetLastError()));
  return proc;
}

}  // namespace

FARPROC WSocketGetProc(const AnsiString& ProcName) {
  CriticalSectionLock guard(WSocketUnit::instance().winsockLock);
  loadWinsock();
  if (ProcName.IsEmpty()) return nullptr;
  return lookUp(binding().winsock, kWinsockName, ProcName);
}

FARPROC WSocket2GetProc(const AnsiString& ProcName) {
  CriticalSectionLock guard(WSocketUnit::instance().winsockLock);
  Binding& b = binding();
  if (!b.winsock2) {
    if (!b.winsock) WSocketGetProc("");
    b.winsock2 = LoadLibraryA(kWinsock2Name);
    if (!b.winsock2)
      throw ESocketException(AnsiString("Unable to load ") + kWinsock2Name + " Error #" +
                             decimal(GetLastError()));
  }
  if (ProcName.IsEmpty()) return nullptr;
  return lookUp(b.winsock2, kWinsock2Name, ProcName);
}

void WSocketUnloadWinsock() {
  CriticalSectionLock guard(WSocketUnit::instance().winsockLock);
  Binding& b = binding();
  if (b.winsock && b.liveSockets == 0) {
    WSockCall::WSACleanup();
    if (b.winsock2) {
      FreeLibrary(b.winsock2);
      b.winsock2 = nullptr;
      b.entries.WSAIoctl = nullptr;
    }
    FreeLibrary(b.winsock);
    b.winsock = nullptr;
    b.entries = EntryPointTable{};
  }
  b.forceLoaded = false;
}

void WSocketForceLoadWinsock() {
  CriticalSectionLock guard(WSocketUnit::instance().winsockLock);
  Binding& b = binding();
  if (b.forceLoaded) return;
  b.forceLoaded = true;
  ++b.liveSockets;
  WSocketGetProc("");
}

void WSocketCancelForceLoadWinsock() {
  CriticalSectionLock guard(WSocketUnit::instance().winsockLock);
  Binding& b = binding();
  if (!b.forceLoaded) return;
  b.forceLoaded = false;
  --b.liveSockets;
  if (b.liveSockets <= 0) WSocketUnloadWinsock();
}

void WinsockInfo(WSAData& Data) {
  CriticalSectionLock guard(WSocketUnit::instance().winsockLock);
  WSocketGetProc("");
  std::memcpy(&Data, &binding().startup, sizeof Data);
  if (binding().liveSockets <= 0) WSocketUnloadWinsock();
}

BYTE GetReqVerLow() { return binding().reqVerLow; }
BYTE GetReqVerHigh() { return binding().reqVerHigh; }

namespace WSocketUnit {

void raiseLiveSockets() {
  CriticalSectionLock guard(instance().winsockLock);
  ++binding().liveSockets;
}

// Lowers the count; true when it reached 0 or less.
bool lowerLiveSockets() {
  CriticalSectionLock guard(instance().winsockLock);
  return --binding().liveSockets <= 0;
}

int liveSockets() { return binding().liveSockets; }
bool winsockLoaded() { return binding().winsock != nullptr; }

// Stores a requested version byte; false (nothing stored) while Winsock is loaded.
bool setRequestedVersion(bool high, BYTE value) {
  CriticalSectionLock guard(instance().winsockLock);
  Binding& b = binding();
  BYTE& slot = high ? b.reqVerHigh : b.reqVerLow;
  if (slot == value) return true;
  if (b.winsock) return false;
  slot = value;
  return true;
}

}  // namespace WSocketUnit

// Internal callers: the cached slot, fetched through the locked look-up when empty.
namespace WSockCall {
#define WSOCKET_INTERNAL(name, result, params, args)                                             \
  result name params {                                                                           \
    auto slot = binding().entries.name;                                                          \
    if (!slot) {                                                                                 \
      slot = reinterpret_cast<T##name>(                                                          \
          std::strcmp(#name, "WSAIoctl") == 0 ? WSocket2GetProc(#name) : WSocketGetProc(#name)); \
      binding().entries.name = slot;                                                             \
    }                                                                                            \
    return slot args;                                                                            \
  }
WINSOCK_ENTRY_POINTS(WSOCKET_INTERNAL)
#undef WSOCKET_INTERNAL
}  // namespace WSockCall

// Public callers: hold the live-socket count for the call, so Winsock stays loaded under it.
namespace {
struct LiveSocketHold {
  LiveSocketHold() { WSocketUnit::raiseLiveSockets(); }
  ~LiveSocketHold() { WSocketUnit::lowerLiveSockets(); }
  LiveSocketHold(const LiveSocketHold&) = delete;
  LiveSocketHold& operator=(const LiveSocketHold&) = delete;
};
}  // namespace

#define WSOCKET_PUBLIC(name, result, params, args) \
  result WSocket_##name params {                   \
    LiveSocketHold hold;                           \
    return WSockCall::name args;                   \
  }
WINSOCK_ENTRY_POINTS(WSOCKET_PUBLIC)
#undef WSOCKET_PUBLIC
