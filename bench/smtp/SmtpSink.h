#pragma once
// The SMTP server of the mail benchmark: a sink on 127.0.0.1 that answers every command at once
// (220 banner, 250 to EHLO, HELO, MAIL, RCPT, RSET and NOOP, 354 to DATA, 250 after the
// message's final ".", 221 to QUIT), reads 64 KB at a time and keeps nothing but counts. Each
// connection is served by a thread of its own, so the sink never waits on the benchmark's
// thread. Replies go out without delay (TCP_NODELAY), as an asynchronous server's do.
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class SmtpSink {
 public:
  SmtpSink();
  ~SmtpSink();
  SmtpSink(const SmtpSink&) = delete;
  SmtpSink& operator=(const SmtpSink&) = delete;

  int port() const { return port_; }
  // Messages accepted so far (each ended by its "."), and their bytes.
  long long messages() const { return messages_; }
  long long bytes() const { return bytes_; }

 private:
  void acceptLoop();
  void serve(int fd);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<long long> messages_{0};
  std::atomic<long long> bytes_{0};
  std::thread acceptor_;
  std::mutex lock_;
  std::vector<std::thread> sessions_;
};
