#pragma once
// The far end of a fuzzed exchange: a listening socket on 127.0.0.1 that plays the fuzzer's
// script, one piece after another, to whatever connects. It runs on the fuzz target's own
// thread, a non-blocking step at a time between turns of the event loop, so an exchange is
// the same from run to run. Plain POSIX types only: the Winsock names never meet the system's.
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class ScriptPeer {
 public:
  struct Options {
    // The peer speaks first on each connection (an SMTP banner).
    bool speaksFirst = false;
    // Whether what the component sent since the last piece asks for the next one (a request
    // head, a command line); any byte does when unset.
    std::function<bool(const std::string& sinceLastPiece)> asksForMore;
    // Bytes written per step; 0 writes each piece at once.
    std::size_t dripBytes = 0;
  };

  ScriptPeer(std::vector<std::string> pieces, Options options);
  ~ScriptPeer();
  ScriptPeer(const ScriptPeer&) = delete;
  ScriptPeer& operator=(const ScriptPeer&) = delete;

  int port() const { return port_; }
  // Accepts, reads and writes what it can without waiting; true when anything moved.
  bool step();
  // Called when neither side has moved for a while: the next piece goes out unasked; with
  // none left, or with a piece the component does not read, the connection is closed. False
  // when there is nothing left to do.
  bool nudge();
  // Every piece written and every connection closed.
  bool finished() const { return pieces_.empty() && connection_ < 0 && pending_.empty(); }
  // Every byte the component sent.
  const std::string& received() const { return received_; }
  int connections() const { return connections_; }

 private:
  void closeConnection();
  void queueNextPiece();
  bool flush();

  Options options_;
  std::deque<std::string> pieces_;
  int listener_ = -1;
  int port_ = 0;
  int connection_ = -1;
  int connections_ = 0;
  std::string pending_;  // what is still to be written on the connection
  std::string sinceLastPiece_;
  std::string received_;
};
