#include "MailSink.h"

#include <poll.h>
#include <sys/socket.h>

namespace {

// Reads one CR LF line (without it); false when the client closed or stayed silent.
bool readLine(int fd, std::string& pending, std::string& line) {
  for (;;) {
    const std::size_t end = pending.find("\r\n");
    if (end != std::string::npos) {
      line = pending.substr(0, end);
      pending.erase(0, end + 2);
      return true;
    }
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

MailSink::MailSink() : thread_([this] { run(); }) {}

MailSink::~MailSink() { thread_.join(); }

std::vector<std::vector<std::string>> MailSink::messages() const {
  std::lock_guard guard(lock_);
  return messages_;
}

bool MailSink::closed() const {
  std::lock_guard guard(lock_);
  return closed_;
}

void MailSink::run() {
  const int fd = server_.accept();
  if (fd >= 0) {
    peer::sendAll(fd, "220 sink ready\r\n");
    std::string pending, line;
    while (readLine(fd, pending, line)) {
      if (line == "QUIT") {
        peer::sendAll(fd, "221 bye\r\n");
        break;
      }
      if (line != "DATA") {
        peer::sendAll(fd, "250 ok\r\n");
        continue;
      }
      peer::sendAll(fd, "354 go ahead\r\n");
      std::vector<std::string> message;
      bool ended = false;
      while (!ended && readLine(fd, pending, line)) {
        ended = line == ".";
        if (!ended) message.push_back(line);
      }
      if (!ended) break;  // a cut message is not taken
      {
        std::lock_guard guard(lock_);
        messages_.push_back(std::move(message));
      }
      peer::sendAll(fd, "250 kept\r\n");
    }
    peer::close(fd);
  }
  std::lock_guard guard(lock_);
  closed_ = true;
}
