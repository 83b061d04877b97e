#include "PollLoopPair.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t kBlock = 1460;
constexpr std::size_t kReceive = 65536;

void check(bool ok, const char* what) {
  if (ok) return;
  std::perror(what);
  std::exit(1);
}

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

double pollLoopPairSeconds(std::size_t totalBytes) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  check(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0, "bind");
  check(listen(listener, 1) == 0, "listen");
  socklen_t len = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);

  const auto start = std::chrono::steady_clock::now();
  const int sender = socket(AF_INET, SOCK_STREAM, 0);
  setNonBlocking(sender);
  connect(sender, reinterpret_cast<sockaddr*>(&a), sizeof a);
  const int receiver = accept(listener, nullptr, nullptr);
  check(receiver >= 0, "accept");
  setNonBlocking(receiver);

  const std::vector<char> out(kBlock, 'p');
  std::vector<char> in(kReceive);
  std::size_t sent = 0, received = 0;
  while (received < totalBytes) {
    pollfd fds[2] = {{sender, static_cast<short>(sent < totalBytes ? POLLOUT : 0), 0},
                     {receiver, POLLIN, 0}};
    check(poll(fds, 2, -1) > 0, "poll");
    if (fds[0].revents & POLLOUT) {
      while (sent < totalBytes) {
        const std::size_t want = std::min(kBlock, totalBytes - sent);
        const ssize_t n = send(sender, out.data(), want, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
        if (static_cast<std::size_t>(n) < want) break;
      }
    }
    if (fds[1].revents & POLLIN) {
      for (;;) {
        const ssize_t n = recv(receiver, in.data(), in.size(), 0);
        if (n <= 0) break;
        received += static_cast<std::size_t>(n);
      }
    }
  }
  const auto end = std::chrono::steady_clock::now();
  close(sender);
  close(receiver);
  close(listener);
  return std::chrono::duration<double>(end - start).count();
}
