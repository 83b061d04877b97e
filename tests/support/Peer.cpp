#include "Peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace peer {
namespace {

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int boundPort(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

bool readable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

Server::Server() {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a = loopback(0);
  bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(fd_, 16);
  port_ = boundPort(fd_);
}

Server::~Server() { ::close(fd_); }

int Server::accept(int timeoutMs) {
  if (!readable(fd_, timeoutMs)) return -1;
  return ::accept(fd_, nullptr, nullptr);
}

int unusedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int port = boundPort(fd);
  ::close(fd);
  return port;
}

int connectTo(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool sendAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string receive(int fd, std::size_t count, int timeoutMs) {
  std::string out;
  char buffer[65536];
  while (out.size() < count && readable(fd, timeoutMs)) {
    ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, count - out.size()), 0);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

bool waitClosed(int fd, int timeoutMs) {
  char buffer[4096];
  while (readable(fd, timeoutMs)) {
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
  }
  return false;
}

int endOf(int fd, std::string* data, int timeoutMs) {
  char buffer[4096];
  while (readable(fd, timeoutMs)) {
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return 0;
    if (n < 0) return errno;
    if (data) data->append(buffer, static_cast<std::size_t>(n));
  }
  return -1;
}

void setReceiveBuffer(int fd, int bytes) {
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void close(int fd) { ::close(fd); }

void resetClose(int fd) {
  linger l{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd);
}

int udpSocket(int* port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a = loopback(0);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  *port = boundPort(fd);
  return fd;
}

std::string udpReceive(int fd, int timeoutMs) {
  if (!readable(fd, timeoutMs)) return {};
  char buffer[65536];
  ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

bool udpSendTo(int fd, int port, const std::string& data) {
  sockaddr_in a = loopback(port);
  return ::sendto(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
         static_cast<ssize_t>(data.size());
}

}  // namespace peer
