#pragma once
// A loopback HTTP peer that answers request after request, on one connection after another,
// on a thread of its own: each request head (and the body its Content-Length announces, read
// whole unless the answer says otherwise) goes to the test's answer function, whose reply is
// written back. Plain types only (see Peer.h).
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Peer.h"

struct ServedRequest {
  std::string head;  // through its empty line
  std::string body;
  int connection = 0;  // counted from 0
  // Whether the head carries this line (a whole line, without its line end).
  bool has(const std::string& line) const;
};

struct ServedAnswer {
  std::string bytes;
  enum Then { Keep, Close, Reset } then = Keep;
  int pauseMs = 0;      // between the bytes and what then comes
  std::string later{};  // sent after the pause, in a segment of its own
  int byteGapMs = 0;    // above 0: each byte of bytes goes alone, this long after the one before
};

class ServingPeer {
 public:
  // readBody decides, from the head alone, whether the body is read before the answer.
  using Answer = std::function<ServedAnswer(const ServedRequest&)>;
  explicit ServingPeer(Answer answer,
                       std::function<bool(const std::string& head)> readBody = nullptr);
  ~ServingPeer();
  ServingPeer(const ServingPeer&) = delete;
  ServingPeer& operator=(const ServingPeer&) = delete;
  int port() const { return server_.port(); }
  std::string url(const std::string& path) const;
  std::vector<ServedRequest> requests() const;
  int connections() const { return connections_; }
  // Bytes that arrived on a connection after the last request read on it.
  std::string leftover() const;

 private:
  void run();
  bool serve(int fd, int connection);
  peer::Server server_;
  Answer answer_;
  std::function<bool(const std::string&)> readBody_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex lock_;
  std::vector<ServedRequest> requests_;
  std::string leftover_;
  std::thread thread_;
};
