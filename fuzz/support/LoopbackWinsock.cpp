#include "LoopbackWinsock.h"

#include <atomic>
#include <cstring>
#include <string>

#include "win32/modules.h"
#include "winsock/winsock.h"

namespace {

constexpr std::uint32_t kLoopbackAddress = 0x0100007F;  // 127.0.0.1 in network order
constexpr const char* kLoopbackName = "127.0.0.1";

std::atomic<int> loopbackPort{0};

TWSAAsyncGetHostByName realAsyncGetHostByName = nullptr;
TWSAAsyncGetHostByAddr realAsyncGetHostByAddr = nullptr;
Tgethostbyname realGetHostByName = nullptr;
Tgethostbyaddr realGetHostByAddr = nullptr;
Tconnect realConnect = nullptr;
Tsendto realSendTo = nullptr;

// The peer's endpoint in place of whatever the component asked for.
sockaddr_in peerEndpoint(const sockaddr* name, int len) {
  sockaddr_in a{};
  if (name && len >= static_cast<int>(sizeof a)) std::memcpy(&a, name, sizeof a);
  a.sin_family = AF_INET;
  a.sin_addr.S_addr = kLoopbackAddress;
  const auto port = static_cast<std::uint16_t>(loopbackPort.load());
  a.sin_port = static_cast<std::uint16_t>((port >> 8) | (port << 8));  // network order
  return a;
}

HANDLE asyncGetHostByName(HWND window, std::uint32_t message, const char*, char* buffer, int size) {
  return realAsyncGetHostByName(window, message, kLoopbackName, buffer, size);
}

HANDLE asyncGetHostByAddr(HWND window, std::uint32_t message, const char*, int len, int type,
                          char* buffer, int size) {
  return realAsyncGetHostByAddr(window, message, reinterpret_cast<const char*>(&kLoopbackAddress),
                                len, type, buffer, size);
}

hostent* getHostByName(const char*) { return realGetHostByName(kLoopbackName); }

hostent* getHostByAddr(const char*, int len, int type) {
  return realGetHostByAddr(reinterpret_cast<const char*>(&kLoopbackAddress), len, type);
}

int connectToPeer(SOCKET s, const sockaddr* name, int len) {
  const sockaddr_in peer = peerEndpoint(name, len);
  return realConnect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
}

int sendToPeer(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
  if (!to) return realSendTo(s, buf, len, flags, to, tolen);
  const sockaddr_in peer = peerEndpoint(to, tolen);
  return realSendTo(s, buf, len, flags, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
}

template <typename Fn>
Fn entryOf(const ModuleEntryPoints& entries, const char* name) {
  return reinterpret_cast<Fn>(entries.at(name));
}

template <typename Fn>
FARPROC entry(Fn fn) {
  return reinterpret_cast<FARPROC>(fn);
}

}  // namespace

void UseLoopbackWinsock() {
  WinsockRegisterModules();
  HMODULE real = LoadLibraryA("wsock32.dll");
  ModuleEntryPoints entries;
#define COPY_ENTRY(name, result, params, args) \
  if (std::strcmp(#name, "WSAIoctl") != 0) entries[#name] = GetProcAddress(real, #name);
  WINSOCK_ENTRY_POINTS(COPY_ENTRY)
#undef COPY_ENTRY
  FreeLibrary(real);
  realAsyncGetHostByName = entryOf<TWSAAsyncGetHostByName>(entries, "WSAAsyncGetHostByName");
  realAsyncGetHostByAddr = entryOf<TWSAAsyncGetHostByAddr>(entries, "WSAAsyncGetHostByAddr");
  realGetHostByName = entryOf<Tgethostbyname>(entries, "gethostbyname");
  realGetHostByAddr = entryOf<Tgethostbyaddr>(entries, "gethostbyaddr");
  realConnect = entryOf<Tconnect>(entries, "connect");
  realSendTo = entryOf<Tsendto>(entries, "sendto");
  entries["WSAAsyncGetHostByName"] = entry(&asyncGetHostByName);
  entries["WSAAsyncGetHostByAddr"] = entry(&asyncGetHostByAddr);
  entries["gethostbyname"] = entry(&getHostByName);
  entries["gethostbyaddr"] = entry(&getHostByAddr);
  entries["connect"] = entry(&connectToPeer);
  entries["sendto"] = entry(&sendToPeer);
  RegisterModuleA("wsock32.dll", std::move(entries));
}

void SetLoopbackPort(int port) { loopbackPort = port; }
