#pragma once
// A loopback peer that plays a fixed script on its one connection, on a thread of its own:
// read so many bytes (kept for the test to check), write bytes (at once or one at a time),
// close (a close, not a reset: bytes of the other side that were not read are dropped first). After
// the script it reads until the other side closes. Plain types only (see Peer.h).
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Peer.h"

struct PeerStep {
  enum Kind { Read, Write, WriteSlowly, Pause, Close } kind;
  std::string bytes;
  std::size_t count = 0;
};

inline PeerStep expectBytes(std::size_t count) { return {PeerStep::Read, {}, count}; }
inline PeerStep reply(std::string bytes) { return {PeerStep::Write, std::move(bytes), 0}; }
inline PeerStep replySlowly(std::string bytes) {
  return {PeerStep::WriteSlowly, std::move(bytes), 0};
}
inline PeerStep pause(std::size_t ms) { return {PeerStep::Pause, {}, ms}; }
inline PeerStep hangUp() { return {PeerStep::Close, {}, 0}; }

class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::vector<PeerStep> steps);
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;
  int port() const { return server_.port(); }
  // Every byte the script read so far.
  std::string received() const;
  bool done() const;

 private:
  void run(std::vector<PeerStep> steps);
  peer::Server server_;
  mutable std::mutex lock_;
  std::string received_;
  bool done_ = false;
  std::thread thread_;
};

// Bytes from a list of numbers, for protocol replies ({5, 0} is "\x05\x00").
std::string bytes(std::initializer_list<int> values);
