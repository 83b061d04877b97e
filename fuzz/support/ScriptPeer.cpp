#include "ScriptPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr std::size_t kReadChunk = 65536;

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

ScriptPeer::ScriptPeer(std::vector<std::string> pieces, Options options)
    : options_(std::move(options)), pieces_(pieces.begin(), pieces.end()) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listener_, 16);
  socklen_t len = sizeof a;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  setNonBlocking(listener_);
}

ScriptPeer::~ScriptPeer() {
  closeConnection();
  ::close(listener_);
}

void ScriptPeer::closeConnection() {
  if (connection_ >= 0) ::close(connection_);
  connection_ = -1;
  pending_.clear();
  sinceLastPiece_.clear();
}

void ScriptPeer::queueNextPiece() {
  if (pieces_.empty()) return;
  pending_ += pieces_.front();
  pieces_.pop_front();
  sinceLastPiece_.clear();
}

// Writes what is pending, at most dripBytes of it; true when a byte went out.
bool ScriptPeer::flush() {
  if (connection_ < 0 || pending_.empty()) return false;
  std::size_t count = pending_.size();
  if (options_.dripBytes > 0 && count > options_.dripBytes) count = options_.dripBytes;
  const ssize_t n = ::send(connection_, pending_.data(), count, MSG_NOSIGNAL);
  if (n > 0) {
    pending_.erase(0, static_cast<std::size_t>(n));
    return true;
  }
  if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
    closeConnection();
    return true;
  }
  return false;
}

bool ScriptPeer::step() {
  bool moved = false;
  const int accepted = ::accept(listener_, nullptr, nullptr);
  if (accepted >= 0) {
    // The component moved on to a new connection: the old one is done with.
    closeConnection();
    connection_ = accepted;
    ++connections_;
    setNonBlocking(connection_);
    if (options_.speaksFirst) queueNextPiece();
    moved = true;
  }
  if (connection_ < 0) return moved;
  char buffer[kReadChunk];
  const ssize_t n = ::recv(connection_, buffer, sizeof buffer, 0);
  if (n > 0) {
    received_.append(buffer, static_cast<std::size_t>(n));
    sinceLastPiece_.append(buffer, static_cast<std::size_t>(n));
    if (pending_.empty() && (!options_.asksForMore || options_.asksForMore(sinceLastPiece_)))
      queueNextPiece();
    moved = true;
  } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
    closeConnection();  // the component closed its end
    return true;
  }
  return flush() || moved;
}

bool ScriptPeer::nudge() {
  if (connection_ < 0) return false;
  // A component that stopped reading gets the rest no more.
  if (pending_.empty() && !pieces_.empty()) {
    queueNextPiece();
    return true;
  }
  closeConnection();
  return true;
}
