#pragma once
// Windows Sockets 1.1 as this layer offers it: the types, constants and the signatures of the
// entry points. Nothing here is linked: the modules "wsock32.dll" and "ws2_32.dll" register
// the entry points by name, and callers bind them at run time with GetProcAddress.
//
// Sockets are IPv4 POSIX sockets behind a table of handles that are never reused within a
// run, so a late notice for a closed socket never lands on a newer one. Errors are the WSA
// codes (WSAGetLastError), mapped from errno.
#include <cstdint>

#include "win32/types.h"

using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

inline constexpr int AF_INET = 2;
inline constexpr int SOCK_STREAM = 1;
inline constexpr int SOCK_DGRAM = 2;
inline constexpr int SOCK_RAW = 3;
inline constexpr int IPPROTO_IP = 0;
inline constexpr int IPPROTO_TCP = 6;
inline constexpr int IPPROTO_UDP = 17;
inline constexpr std::uint32_t INADDR_ANY = 0;
inline constexpr std::uint32_t INADDR_NONE = 0xFFFFFFFF;

inline constexpr int MSG_OOB = 1;
inline constexpr int MSG_PEEK = 2;

inline constexpr int SOL_SOCKET = 0xFFFF;
inline constexpr int SO_REUSEADDR = 0x0004;
inline constexpr int SO_KEEPALIVE = 0x0008;
inline constexpr int SO_BROADCAST = 0x0020;
inline constexpr int SO_LINGER = 0x0080;
inline constexpr int SO_SNDBUF = 0x1001;
inline constexpr int SO_RCVBUF = 0x1002;
inline constexpr int SO_ERROR = 0x1007;
inline constexpr int TCP_NODELAY = 0x0001;
// Winsock 1.1 numbers of the multicast options.
inline constexpr int IP_MULTICAST_IF = 2;
inline constexpr int IP_MULTICAST_TTL = 3;
inline constexpr int IP_ADD_MEMBERSHIP = 5;

inline constexpr long FIONREAD = 0x4004667F;
inline constexpr long FIONBIO = static_cast<long>(0x8004667EL);
inline constexpr DWORD SIO_RCVALL = 0x98000001;

inline constexpr long FD_READ = 0x01;
inline constexpr long FD_WRITE = 0x02;
inline constexpr long FD_OOB = 0x04;
inline constexpr long FD_ACCEPT = 0x08;
inline constexpr long FD_CONNECT = 0x10;
inline constexpr long FD_CLOSE = 0x20;

inline constexpr int WSADESCRIPTION_LEN = 256;
inline constexpr int WSASYS_STATUS_LEN = 128;
inline constexpr int MAXGETHOSTSTRUCT = 1024;

// WSA error codes.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEPFNOSUPPORT = 10046;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

struct in_addr {
  std::uint32_t S_addr;  // network order
};

struct sockaddr {
  std::uint16_t sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  std::uint16_t sin_port;  // network order
  in_addr sin_addr;
  char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16);

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};

struct servent {
  char* s_name;
  char** s_aliases;
  short s_port;  // network order
  char* s_proto;
};

struct protoent {
  char* p_name;
  char** p_aliases;
  short p_proto;
};

// Winsock 1.1's linger record: two 16-bit fields.
struct linger {
  std::uint16_t l_onoff;
  std::uint16_t l_linger;
};

struct ip_mreq {
  in_addr imr_multiaddr;
  in_addr imr_interface;
};

struct WSAData {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  std::uint16_t iMaxSockets;
  std::uint16_t iMaxUdpDg;
  char* lpVendorInfo;
};

// Every entry point: X(name, result, parameter list, argument list). The 35 of
// "wsock32.dll" come first, then WSAIoctl of "ws2_32.dll".
#define WINSOCK_ENTRY_POINTS(X)                                                                   \
  X(WSAStartup, int, (WORD wVersionRequired, WSAData * lpWSAData), (wVersionRequired, lpWSAData)) \
  X(WSACleanup, int, (), ())                                                                      \
  X(WSASetLastError, void, (int iError), (iError))                                                \
  X(WSAGetLastError, int, (), ())                                                                 \
  X(WSACancelAsyncRequest, int, (HANDLE hAsyncTaskHandle), (hAsyncTaskHandle))                    \
  X(WSAAsyncGetHostByName, HANDLE,                                                                \
    (HWND hWnd, std::uint32_t wMsg, const char* name, char* buf, int buflen),                     \
    (hWnd, wMsg, name, buf, buflen))                                                              \
  X(WSAAsyncGetHostByAddr, HANDLE,                                                                \
    (HWND hWnd, std::uint32_t wMsg, const char* addr, int len, int type, char* buf, int buflen),  \
    (hWnd, wMsg, addr, len, type, buf, buflen))                                                   \
  X(WSAAsyncSelect, int, (SOCKET s, HWND hWnd, std::uint32_t wMsg, long lEvent),                  \
    (s, hWnd, wMsg, lEvent))                                                                      \
  X(getservbyname, servent*, (const char* name, const char* proto), (name, proto))                \
  X(getprotobyname, protoent*, (const char* name), (name))                                        \
  X(gethostbyname, hostent*, (const char* name), (name))                                          \
  X(gethostbyaddr, hostent*, (const char* addr, int len, int type), (addr, len, type))            \
  X(gethostname, int, (char* name, int namelen), (name, namelen))                                 \
  X(socket, SOCKET, (int af, int type, int protocol), (af, type, protocol))                       \
  X(shutdown, int, (SOCKET s, int how), (s, how))                                                 \
  X(setsockopt, int, (SOCKET s, int level, int optname, const char* optval, int optlen),          \
    (s, level, optname, optval, optlen))                                                          \
  X(getsockopt, int, (SOCKET s, int level, int optname, char* optval, int* optlen),               \
    (s, level, optname, optval, optlen))                                                          \
  X(sendto, int, (SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen),  \
    (s, buf, len, flags, to, tolen))                                                              \
  X(send, int, (SOCKET s, const char* buf, int len, int flags), (s, buf, len, flags))             \
  X(recv, int, (SOCKET s, char* buf, int len, int flags), (s, buf, len, flags))                   \
  X(recvfrom, int, (SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen),       \
    (s, buf, len, flags, from, fromlen))                                                          \
  X(ntohs, std::uint16_t, (std::uint16_t netshort), (netshort))                                   \
  X(ntohl, std::uint32_t, (std::uint32_t netlong), (netlong))                                     \
  X(listen, int, (SOCKET s, int backlog), (s, backlog))                                           \
  X(ioctlsocket, int, (SOCKET s, long cmd, std::uint32_t* argp), (s, cmd, argp))                  \
  X(inet_ntoa, char*, (in_addr in), (in))                                                         \
  X(inet_addr, std::uint32_t, (const char* cp), (cp))                                             \
  X(htons, std::uint16_t, (std::uint16_t hostshort), (hostshort))                                 \
  X(htonl, std::uint32_t, (std::uint32_t hostlong), (hostlong))                                   \
  X(getsockname, int, (SOCKET s, sockaddr * name, int* namelen), (s, name, namelen))              \
  X(getpeername, int, (SOCKET s, sockaddr * name, int* namelen), (s, name, namelen))              \
  X(connect, int, (SOCKET s, const sockaddr* name, int namelen), (s, name, namelen))              \
  X(closesocket, int, (SOCKET s), (s))                                                            \
  X(bind, int, (SOCKET s, const sockaddr* addr, int namelen), (s, addr, namelen))                 \
  X(accept, SOCKET, (SOCKET s, sockaddr * addr, int* addrlen), (s, addr, addrlen))                \
  X(WSAIoctl, int,                                                                                \
    (SOCKET s, DWORD dwIoControlCode, void* lpvInBuffer, DWORD cbInBuffer, void* lpvOutBuffer,    \
     DWORD cbOutBuffer, DWORD* lpcbBytesReturned, void* lpOverlapped, void* lpCompletionRoutine), \
    (s, dwIoControlCode, lpvInBuffer, cbInBuffer, lpvOutBuffer, cbOutBuffer, lpcbBytesReturned,   \
     lpOverlapped, lpCompletionRoutine))

// The function types of the entry points: TWSAStartup, Tsend, ...
#define WINSOCK_DECLARE_ENTRY_TYPE(name, result, params, args) using T##name = result(*) params;
WINSOCK_ENTRY_POINTS(WINSOCK_DECLARE_ENTRY_TYPE)
#undef WINSOCK_DECLARE_ENTRY_TYPE

// Registers "wsock32.dll" and "ws2_32.dll" with the module registry (again, when a test had
// replaced them).
void WinsockRegisterModules();
