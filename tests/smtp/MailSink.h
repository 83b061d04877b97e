#pragma once
// A loopback SMTP peer that takes every message, on a thread of its own: it greets, answers
// each command with 250 (DATA with 354, QUIT with 221 and a close), and keeps each message's
// bytes as they arrived, up to the line with the lone dot. It serves one connection. Plain
// types only, like the other peers.
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Peer.h"

class MailSink {
 public:
  MailSink();
  ~MailSink();
  MailSink(const MailSink&) = delete;
  MailSink& operator=(const MailSink&) = delete;
  int port() const { return server_.port(); }
  // The messages taken so far, as their lines (CR LF removed, dots as sent).
  std::vector<std::vector<std::string>> messages() const;
  // Whether the client's connection has ended.
  bool closed() const;

 private:
  void run();
  peer::Server server_;
  mutable std::mutex lock_;
  std::vector<std::vector<std::string>> messages_;
  bool closed_ = false;
  std::thread thread_;
};
