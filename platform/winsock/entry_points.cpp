// The entry points of "wsock32.dll" and "ws2_32.dll" over POSIX sockets, and their
// registration with the module registry.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cctype>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "win32/modules.h"
#include "winsock/errors.h"
#include "winsock/host_entry.h"
#include "winsock/lookups.h"
#include "winsock/socket_table.h"
#include "winsock/sys.h"
#include "winsock/winsock.h"

namespace winsock {
namespace {

std::mutex startupLock;            // orders WSAStartup and WSACleanup
std::atomic<int> startupCount{0};  // read by every call without the lock

bool started() { return startupCount.load(std::memory_order_acquire) > 0; }

// The socket of a handle, or nullptr with the thread's error set.
SocketEntry* socketOf(SOCKET s) {
  if (!started()) {
    setLastError(WSANOTINITIALISED);
    return nullptr;
  }
  auto e = SocketTable::instance().find(s);
  if (!e) setLastError(WSAENOTSOCK);
  return e;
}

bool readEndpoint(const sockaddr* name, int len, sys::Endpoint* out) {
  if (!name || len < static_cast<int>(sizeof(sockaddr_in))) return false;
  sockaddr_in a;
  std::memcpy(&a, name, sizeof a);
  if (a.sin_family != AF_INET) return false;
  out->address = a.sin_addr.S_addr;
  out->port = a.sin_port;
  return true;
}

int writeEndpoint(const sys::Endpoint& e, sockaddr* name, int* len) {
  if (!name || !len) return 0;
  if (*len < static_cast<int>(sizeof(sockaddr_in))) return fail(WSAEFAULT);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = e.port;
  a.sin_addr.S_addr = e.address;
  std::memcpy(name, &a, sizeof a);
  *len = sizeof a;
  return 0;
}

// Per-thread storage of the blocking look-ups' answers, as Winsock keeps it.
struct ThreadAnswers {
  std::vector<char> host;
  servent service{};
  std::string serviceName, serviceProto;
  std::vector<std::string> serviceAliases;
  std::vector<char*> serviceAliasPointers;
  protoent protocol{};
  std::string protocolName;
  std::vector<std::string> protocolAliases;
  std::vector<char*> protocolAliasPointers;
  char ntoa[16] = {};
};
ThreadAnswers& answers() {
  thread_local ThreadAnswers a;
  return a;
}

char** aliasList(std::vector<std::string>& texts, std::vector<char*>& pointers) {
  pointers.clear();
  for (auto& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers.data();
}

hostent* answerHost(const sys::HostEntry& entry) {
  auto& storage = answers().host;
  storage.resize(hostEntrySize(entry));
  return packHostEntry(entry, storage.data(), storage.size());
}

std::optional<sys::Option> optionOf(int level, int name) {
  if (level == SOL_SOCKET) {
    switch (name) {
      case SO_REUSEADDR:
        return sys::Option::ReuseAddr;
      case SO_KEEPALIVE:
        return sys::Option::KeepAlive;
      case SO_BROADCAST:
        return sys::Option::Broadcast;
      case SO_SNDBUF:
        return sys::Option::SendBuffer;
      case SO_RCVBUF:
        return sys::Option::ReceiveBuffer;
    }
  } else if (level == IPPROTO_TCP && name == TCP_NODELAY) {
    return sys::Option::TcpNoDelay;
  } else if (level == IPPROTO_IP && name == IP_MULTICAST_TTL) {
    return sys::Option::MulticastTtl;
  }
  return std::nullopt;
}

// --- start-up and errors ---

int ws_WSAStartup(WORD versionRequired, WSAData* data) {
  BYTE major = versionRequired & 0xFF, minor = versionRequired >> 8;
  if (!data) return WSAEFAULT;
  if (major < 1) return WSAVERNOTSUPPORTED;
  std::memset(data, 0, sizeof *data);
  data->wHighVersion = 0x0202;
  data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? 0x0202 : versionRequired;
  std::strcpy(data->szDescription, "Tarnwick Windows Sockets over POSIX");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 32767;
  data->iMaxUdpDg = 65467;
  std::lock_guard guard(startupLock);
  ++startupCount;
  return 0;
}

int ws_WSACleanup() {
  std::lock_guard guard(startupLock);
  if (startupCount == 0) return fail(WSANOTINITIALISED);
  --startupCount;
  return 0;
}

void ws_WSASetLastError(int error) { setLastError(error); }
int ws_WSAGetLastError() { return lastError(); }

// --- asynchronous look-ups ---

int ws_WSACancelAsyncRequest(HANDLE task) { return cancelLookup(task); }

HANDLE ws_WSAAsyncGetHostByName(HWND window, std::uint32_t message, const char* name, char* buffer,
                                int size) {
  if (!started()) return fail(WSANOTINITIALISED), nullptr;
  if (!name || !buffer || size <= 0) return fail(WSAEFAULT), nullptr;
  return startHostByName(window, message, name, buffer, size);
}

HANDLE ws_WSAAsyncGetHostByAddr(HWND window, std::uint32_t message, const char* addr, int len,
                                int type, char* buffer, int size) {
  if (!started()) return fail(WSANOTINITIALISED), nullptr;
  if (!addr || len != 4 || type != AF_INET || !buffer || size <= 0) return fail(WSAEFAULT), nullptr;
  std::uint32_t address;
  std::memcpy(&address, addr, 4);
  return startHostByAddress(window, message, address, buffer, size);
}

int ws_WSAAsyncSelect(SOCKET s, HWND window, std::uint32_t message, long events) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  return selectEvents(*e, window, message, events);
}

// --- blocking look-ups ---

servent* ws_getservbyname(const char* name, const char* proto) {
  if (!started()) return fail(WSANOTINITIALISED), nullptr;
  sys::ServiceEntry entry;
  if (!name || !sys::serviceByName(name, proto, &entry)) return fail(WSANO_DATA), nullptr;
  auto& a = answers();
  a.serviceName = entry.name;
  a.serviceProto = entry.protocol;
  a.serviceAliases = entry.aliases;
  a.service.s_name = a.serviceName.data();
  a.service.s_aliases = aliasList(a.serviceAliases, a.serviceAliasPointers);
  a.service.s_port = static_cast<short>(entry.port);
  a.service.s_proto = a.serviceProto.data();
  return &a.service;
}

protoent* ws_getprotobyname(const char* name) {
  if (!started()) return fail(WSANOTINITIALISED), nullptr;
  sys::ProtocolEntry entry;
  if (!name || !sys::protocolByName(name, &entry)) return fail(WSANO_DATA), nullptr;
  auto& a = answers();
  a.protocolName = entry.name;
  a.protocolAliases = entry.aliases;
  a.protocol.p_name = a.protocolName.data();
  a.protocol.p_aliases = aliasList(a.protocolAliases, a.protocolAliasPointers);
  a.protocol.p_proto = static_cast<short>(entry.number);
  return &a.protocol;
}

hostent* ws_gethostbyname(const char* name) {
  if (!started()) return fail(WSANOTINITIALISED), nullptr;
  sys::HostEntry entry;
  int code = name ? sys::hostByName(name, &entry) : sys::resolverCodes().hostNotFound;
  if (code != 0) return fail(fromResolverCode(code)), nullptr;
  return answerHost(entry);
}

hostent* ws_gethostbyaddr(const char* addr, int len, int type) {
  if (!started()) return fail(WSANOTINITIALISED), nullptr;
  if (!addr || len != 4 || type != AF_INET) return fail(WSAEFAULT), nullptr;
  std::uint32_t address;
  std::memcpy(&address, addr, 4);
  sys::HostEntry entry;
  int code = sys::hostByAddress(address, &entry);
  if (code != 0) return fail(fromResolverCode(code)), nullptr;
  return answerHost(entry);
}

int ws_gethostname(char* name, int size) {
  if (!started()) return fail(WSANOTINITIALISED);
  std::string host;
  if (sys::hostName(&host) != 0) return failFromErrno();
  if (!name || size <= static_cast<int>(host.size())) return fail(WSAEFAULT);
  std::memcpy(name, host.c_str(), host.size() + 1);
  return 0;
}

// --- sockets ---

SOCKET ws_socket(int af, int type, int protocol) {
  if (!started()) return fail(WSANOTINITIALISED);
  if (af != AF_INET) return fail(WSAEAFNOSUPPORT);
  if (type != SOCK_STREAM && type != SOCK_DGRAM && type != SOCK_RAW)
    return fail(WSAESOCKTNOSUPPORT);
  int fd = sys::openSocket(type, protocol);
  if (fd < 0) return failFromErrno();
  return SocketTable::instance().add(fd, type, false);
}

int ws_shutdown(SOCKET s, int how) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (sys::shutdownSocket(descriptorOf(*e), how) != 0) return failFromErrno();
  if (how == 1 || how == 2) shutDownSending(*e);
  return 0;
}

int ws_setsockopt(SOCKET s, int level, int name, const char* value, int len) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (!value) return fail(WSAEFAULT);
  int fd = descriptorOf(*e);
  int result;
  if (level == SOL_SOCKET && name == SO_LINGER) {
    if (len < static_cast<int>(sizeof(linger))) return fail(WSAEFAULT);
    linger l;
    std::memcpy(&l, value, sizeof l);
    result = sys::setLinger(fd, l.l_onoff != 0, l.l_linger);
  } else if (level == IPPROTO_IP && name == IP_MULTICAST_IF) {
    if (len < 4) return fail(WSAEFAULT);
    std::uint32_t address;
    std::memcpy(&address, value, 4);
    result = sys::setMulticastInterface(fd, address);
  } else if (level == IPPROTO_IP && name == IP_ADD_MEMBERSHIP) {
    if (len < static_cast<int>(sizeof(ip_mreq))) return fail(WSAEFAULT);
    ip_mreq m;
    std::memcpy(&m, value, sizeof m);
    result = sys::addMembership(fd, m.imr_multiaddr.S_addr, m.imr_interface.S_addr);
  } else if (auto option = optionOf(level, name)) {
    int v = 0;
    if (len >= 4)
      std::memcpy(&v, value, 4);
    else if (len >= 1)
      v = static_cast<unsigned char>(value[0]);
    else
      return fail(WSAEFAULT);
    bool flag = *option != sys::Option::SendBuffer && *option != sys::Option::ReceiveBuffer &&
                *option != sys::Option::MulticastTtl;
    result = sys::setOption(fd, *option, flag ? (v != 0) : v);
  } else {
    return fail(WSAENOPROTOOPT);
  }
  return result == 0 ? 0 : failFromErrno();
}

int ws_getsockopt(SOCKET s, int level, int name, char* value, int* len) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (!value || !len) return fail(WSAEFAULT);
  int fd = descriptorOf(*e);
  if (level == SOL_SOCKET && name == SO_LINGER) {
    if (*len < static_cast<int>(sizeof(linger))) return fail(WSAEFAULT);
    bool on;
    int seconds;
    if (sys::getLinger(fd, &on, &seconds) != 0) return failFromErrno();
    linger l{static_cast<std::uint16_t>(on), static_cast<std::uint16_t>(seconds)};
    std::memcpy(value, &l, sizeof l);
    *len = sizeof l;
    return 0;
  }
  int v = 0;
  if (level == SOL_SOCKET && name == SO_ERROR) {
    v = fromErrno(sys::pendingError(fd));
  } else if (auto option = optionOf(level, name)) {
    if (sys::getOption(fd, *option, &v) != 0) return failFromErrno();
  } else {
    return fail(WSAENOPROTOOPT);
  }
  if (*len < 4) return fail(WSAEFAULT);
  std::memcpy(value, &v, 4);
  *len = 4;
  return 0;
}

// A send that would block, or that took less than offered, brings FD_WRITE back.
int finishSend(SocketEntry& e, long result, int len) {
  if (result < 0) {
    int error = errno == EPIPE && sendingShutDown(e) ? WSAESHUTDOWN : fromErrno(errno);
    if (error == WSAEWOULDBLOCK) sendBlocked(e);
    return fail(error);
  }
  if (result < len) sendBlocked(e);
  return static_cast<int>(result);
}

int ws_sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (len < 0 || (!buf && len > 0)) return fail(WSAEFAULT);
  sys::Endpoint target;
  long result;
  if (to && readEndpoint(to, tolen, &target))
    result = sys::sendDataTo(descriptorOf(*e), buf, len, flags & MSG_OOB, target);
  else if (to)
    return fail(WSAEFAULT);
  else
    result = sys::sendData(descriptorOf(*e), buf, len, flags & MSG_OOB);
  return finishSend(*e, result, len);
}

int ws_send(SOCKET s, const char* buf, int len, int flags) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (len < 0 || (!buf && len > 0)) return fail(WSAEFAULT);
  return finishSend(*e, sys::sendData(descriptorOf(*e), buf, len, flags & MSG_OOB), len);
}

int ws_recv(SOCKET s, char* buf, int len, int flags) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (len < 0 || (!buf && len > 0)) return fail(WSAEFAULT);
  long result = sys::receiveData(descriptorOf(*e), buf, len, flags & MSG_PEEK, flags & MSG_OOB);
  int saved = errno;
  received(*e);
  errno = saved;
  return result < 0 ? failFromErrno() : static_cast<int>(result);
}

int ws_recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (len < 0 || (!buf && len > 0)) return fail(WSAEFAULT);
  sys::Endpoint source;
  long result =
      sys::receiveDataFrom(descriptorOf(*e), buf, len, flags & MSG_PEEK, flags & MSG_OOB, &source);
  int saved = errno;
  received(*e);
  errno = saved;
  if (result < 0) return failFromErrno();
  if (writeEndpoint(source, from, fromlen) != 0) return SOCKET_ERROR;
  return static_cast<int>(result);
}

std::uint16_t swap16(std::uint16_t v) { return static_cast<std::uint16_t>((v >> 8) | (v << 8)); }
std::uint32_t swap32(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}
constexpr bool kLittleEndian = std::endian::native == std::endian::little;
std::uint16_t ws_ntohs(std::uint16_t v) { return kLittleEndian ? swap16(v) : v; }
std::uint32_t ws_ntohl(std::uint32_t v) { return kLittleEndian ? swap32(v) : v; }
std::uint16_t ws_htons(std::uint16_t v) { return kLittleEndian ? swap16(v) : v; }
std::uint32_t ws_htonl(std::uint32_t v) { return kLittleEndian ? swap32(v) : v; }

int ws_listen(SOCKET s, int backlog) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (typeOf(*e) != SOCK_STREAM) return fail(WSAEOPNOTSUPP);
  if (sys::listenSocket(descriptorOf(*e), backlog) != 0) return failFromErrno();
  listening(*e);
  return 0;
}

int ws_ioctlsocket(SOCKET s, long cmd, std::uint32_t* arg) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (!arg) return fail(WSAEFAULT);
  if (cmd == FIONREAD) {
    int count = 0;
    if (sys::bytesWaiting(descriptorOf(*e), &count) != 0) return failFromErrno();
    *arg = static_cast<std::uint32_t>(count);
    return 0;
  }
  if (cmd == FIONBIO) {
    setNonBlockingMode(*e, *arg != 0);
    return 0;
  }
  return fail(WSAEINVAL);
}

char* ws_inet_ntoa(in_addr in) {
  auto* b = reinterpret_cast<const unsigned char*>(&in.S_addr);
  char* out = answers().ntoa;
  std::snprintf(out, sizeof answers().ntoa, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return out;
}

// Dotted text of one to four parts (decimal, octal with a leading 0, hex with 0x), as the
// classic resolver reads it; trailing blanks are allowed.
std::uint32_t ws_inet_addr(const char* cp) {
  if (!cp) return INADDR_NONE;
  std::uint64_t parts[4];
  int count = 0;
  const char* p = cp;
  for (;;) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return INADDR_NONE;
    std::uint64_t base = 10, value = 0;
    if (*p == '0') {
      base = 8;
      ++p;
      if (*p == 'x' || *p == 'X') base = 16, ++p;
    }
    for (;; ++p) {
      int c = static_cast<unsigned char>(*p), digit;
      if (std::isdigit(c) && (base != 8 || c < '8'))
        digit = c - '0';
      else if (base == 16 && std::isxdigit(c))
        digit = std::tolower(c) - 'a' + 10;
      else
        break;
      value = value * base + digit;
      if (value > 0xFFFFFFFFul) return INADDR_NONE;
    }
    if (count == 4) return INADDR_NONE;
    parts[count++] = value;
    if (*p != '.') break;
    ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (*p) return INADDR_NONE;
  std::uint64_t host;
  switch (count) {
    case 1:
      host = parts[0];
      break;
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return INADDR_NONE;
      host = parts[0] << 24 | parts[1];
      break;
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return INADDR_NONE;
      host = parts[0] << 24 | parts[1] << 16 | parts[2];
      break;
    default:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFF || parts[3] > 0xFF)
        return INADDR_NONE;
      host = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
  }
  return ws_htonl(static_cast<std::uint32_t>(host));
}

int ws_getsockname(SOCKET s, sockaddr* name, int* len) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  sys::Endpoint local;
  if (sys::localName(descriptorOf(*e), &local) != 0) return failFromErrno();
  return writeEndpoint(local, name, len);
}

int ws_getpeername(SOCKET s, sockaddr* name, int* len) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  sys::Endpoint peer;
  if (sys::peerName(descriptorOf(*e), &peer) != 0) return failFromErrno();
  return writeEndpoint(peer, name, len);
}

int ws_connect(SOCKET s, const sockaddr* name, int len) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  sys::Endpoint remote;
  if (!readEndpoint(name, len, &remote)) return fail(WSAEFAULT);
  if (sys::connectSocket(descriptorOf(*e), remote) == 0) {
    connectedNow(*e);
    return 0;
  }
  int error = fromErrno(errno);
  if (error == WSAEWOULDBLOCK) {
    connectStarted(*e, 0);
    return fail(WSAEWOULDBLOCK);
  }
  // A non-blocking stream connect that fails at once is told through FD_CONNECT.
  if (isNonBlocking(*e) && typeOf(*e) == SOCK_STREAM) {
    connectStarted(*e, error);
    return fail(WSAEWOULDBLOCK);
  }
  return fail(error);
}

int ws_closesocket(SOCKET s) {
  if (!started()) return fail(WSANOTINITIALISED);
  return SocketTable::instance().close(s);
}

int ws_bind(SOCKET s, const sockaddr* addr, int len) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  sys::Endpoint local;
  if (!readEndpoint(addr, len, &local)) return fail(WSAEFAULT);
  return sys::bindSocket(descriptorOf(*e), local) == 0 ? 0 : failFromErrno();
}

SOCKET ws_accept(SOCKET s, sockaddr* addr, int* len) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  sys::Endpoint peer;
  int fd = sys::acceptSocket(descriptorOf(*e), &peer);
  int saved = errno;
  accepted(*e);
  if (fd < 0) {
    errno = saved;
    return failFromErrno();
  }
  const bool nonBlocking = isNonBlocking(*e);
  SOCKET handle = SocketTable::instance().add(fd, SOCK_STREAM, true);
  // The new socket keeps the listening socket's blocking mode (not its selection).
  if (nonBlocking) setNonBlockingMode(*SocketTable::instance().find(handle), true);
  if (writeEndpoint(peer, addr, len) != 0) {
    SocketTable::instance().close(handle);
    return SOCKET_ERROR;
  }
  return handle;
}

// Receive-all (SIO_RCVALL) has no Linux equivalent: it is refused as not supported.
int ws_WSAIoctl(SOCKET s, DWORD code, void*, DWORD, void*, DWORD, DWORD* returned, void*, void*) {
  auto e = socketOf(s);
  if (!e) return SOCKET_ERROR;
  if (returned) *returned = 0;
  if (code == SIO_RCVALL) return fail(WSAEOPNOTSUPP);
  return fail(WSAEINVAL);
}

template <typename Fn>
FARPROC entry(Fn fn) {
  return reinterpret_cast<FARPROC>(fn);
}

}  // namespace
}  // namespace winsock

void WinsockRegisterModules() {
  using namespace winsock;
  ModuleEntryPoints wsock32;
#define WINSOCK_REGISTER(name, result, params, args)                   \
  static_assert(std::is_same_v<decltype(&ws_##name), T##name>, #name); \
  if (std::string(#name) != "WSAIoctl") wsock32[#name] = entry(&ws_##name);
  WINSOCK_ENTRY_POINTS(WINSOCK_REGISTER)
#undef WINSOCK_REGISTER
  RegisterModuleA("wsock32.dll", std::move(wsock32));
  RegisterModuleA("ws2_32.dll", {{"WSAIoctl", entry(&ws_WSAIoctl)}});
}
