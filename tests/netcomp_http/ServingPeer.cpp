#include "ServingPeer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>

namespace {
constexpr int kStepMs = 50;

// Appends what arrives within kStepMs; false once the client closed or reset the connection.
bool readSome(int fd, std::string& into) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, kStepMs) <= 0) return true;
  char buffer[65536];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(n));
  return true;
}

std::size_t contentLength(const std::string& head) {
  const std::string name = "\r\nContent-Length: ";
  const auto at = head.find(name);
  return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + name.size(), nullptr, 10);
}
}  // namespace

bool ServedRequest::has(const std::string& line) const {
  return head.find("\r\n" + line + "\r\n") != std::string::npos;
}

ServingPeer::ServingPeer(Answer answer, std::function<bool(const std::string&)> readBody)
    : answer_(std::move(answer)), readBody_(std::move(readBody)), thread_([this] { run(); }) {}

ServingPeer::~ServingPeer() {
  stopping_ = true;
  thread_.join();
}

std::string ServingPeer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port()) + path;
}

std::vector<ServedRequest> ServingPeer::requests() const {
  std::lock_guard guard(lock_);
  return requests_;
}

std::string ServingPeer::leftover() const {
  std::lock_guard guard(lock_);
  return leftover_;
}

void ServingPeer::run() {
  while (!stopping_) {
    const int fd = server_.accept(kStepMs);
    if (fd < 0) continue;
    const int connection = connections_++;
    if (serve(fd, connection)) peer::close(fd);
  }
}

// Serves one connection until the client closes it or the peer stops; false when the answer
// already closed it.
bool ServingPeer::serve(int fd, int connection) {
  std::string pending;
  for (;;) {
    std::size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
      if (stopping_) return true;
      if (!readSome(fd, pending)) {
        std::lock_guard guard(lock_);
        leftover_ += pending;
        return true;
      }
    }
    ServedRequest request;
    request.connection = connection;
    request.head = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    if (!readBody_ || readBody_(request.head)) {
      const std::size_t length = contentLength(request.head);
      while (pending.size() < length && !stopping_)
        if (!readSome(fd, pending)) break;
      request.body = pending.substr(0, length);
      pending.erase(0, length);
    }
    const ServedAnswer answer = answer_(request);
    {
      std::lock_guard guard(lock_);
      requests_.push_back(request);
    }
    if (answer.byteGapMs > 0) {
      // Every byte in a segment of its own: none waits for the one before to be acknowledged.
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      for (const char c : answer.bytes) {
        peer::sendAll(fd, std::string(1, c));
        std::this_thread::sleep_for(std::chrono::milliseconds(answer.byteGapMs));
      }
    } else {
      peer::sendAll(fd, answer.bytes);
    }
    if (answer.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(answer.pauseMs));
    if (!answer.later.empty()) peer::sendAll(fd, answer.later);
    if (answer.then == ServedAnswer::Close) {
      peer::close(fd);
      return false;
    }
    if (answer.then == ServedAnswer::Reset) {
      peer::resetClose(fd);
      return false;
    }
  }
}
