#include "PosixPair.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

double posixLoopbackSeconds(std::size_t totalBytes) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listener, 1);
  socklen_t len = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  auto start = std::chrono::steady_clock::now();
  std::thread reader([&] {
    int fd = accept(listener, nullptr, nullptr);
    std::vector<char> buffer(65536);
    std::size_t got = 0;
    while (got < totalBytes) {
      ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    close(fd);
  });
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  std::vector<char> chunk(65536, 'p');
  for (std::size_t sent = 0; sent < totalBytes;) {
    ssize_t n = send(fd, chunk.data(), std::min(chunk.size(), totalBytes - sent), MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  reader.join();
  close(fd);
  close(listener);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
