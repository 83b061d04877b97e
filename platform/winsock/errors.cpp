#include "winsock/errors.h"

#include <cerrno>

#include "winsock/winsock.h"

namespace winsock {
namespace {
thread_local int threadError = 0;

// Each errno value with the Winsock error it stands for (EWOULDBLOCK is EAGAIN on most systems).
struct ErrnoCode {
  int posix;
  int winsock;
};
constexpr ErrnoCode kErrnoCodes[] = {
    {EINPROGRESS, WSAEWOULDBLOCK},
    {EAGAIN, WSAEWOULDBLOCK},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {ENOTSOCK, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EALREADY, WSAEALREADY},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {EPIPE, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
};
}  // namespace

int lastError() { return threadError; }
void setLastError(int code) { threadError = code; }

int fromErrno(int e) {
  if (e == 0) return 0;
  for (const ErrnoCode& code : kErrnoCodes)
    if (code.posix == e) return code.winsock;
  return WSAEINVAL;
}

int failFromErrno() {
  threadError = fromErrno(errno);
  return SOCKET_ERROR;
}

int fail(int code) {
  threadError = code;
  return SOCKET_ERROR;
}

}  // namespace winsock
