#include "ScriptedPeer.h"

#include <sys/socket.h>

#include <chrono>

namespace {
// Reads and drops what already waits: a socket closed with unread bytes would reset the
// connection instead of closing it.
void dropWaiting(int fd) {
  char buffer[65536];
  while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
  }
}
}  // namespace

ScriptedPeer::ScriptedPeer(std::vector<PeerStep> steps)
    : thread_([this, s = std::move(steps)]() mutable { run(std::move(s)); }) {}

ScriptedPeer::~ScriptedPeer() { thread_.join(); }

std::string ScriptedPeer::received() const {
  std::lock_guard guard(lock_);
  return received_;
}

bool ScriptedPeer::done() const {
  std::lock_guard guard(lock_);
  return done_;
}

void ScriptedPeer::run(std::vector<PeerStep> steps) {
  int fd = server_.accept();
  bool open = fd >= 0;
  for (auto& step : steps) {
    if (!open) break;
    switch (step.kind) {
      case PeerStep::Read: {
        std::string got = peer::receive(fd, step.count);
        std::lock_guard guard(lock_);
        received_ += got;
        break;
      }
      case PeerStep::Write:
        peer::sendAll(fd, step.bytes);
        break;
      case PeerStep::WriteSlowly:
        for (char c : step.bytes) {
          peer::sendAll(fd, std::string(1, c));
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        break;
      case PeerStep::Pause:
        std::this_thread::sleep_for(std::chrono::milliseconds(step.count));
        break;
      case PeerStep::Close:
        dropWaiting(fd);
        peer::close(fd);
        open = false;
        break;
    }
  }
  if (open) {
    peer::waitClosed(fd);
    peer::close(fd);
  }
  std::lock_guard guard(lock_);
  done_ = true;
}

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}
