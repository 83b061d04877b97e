#include "SmtpSink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool sendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The reply to one command line; empty for QUIT (221 and the close follow).
std::string_view replyTo(std::string_view line, bool* data, bool* quit) {
  std::string verb;
  for (char c : line.substr(0, 4))
    verb += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (verb == "EHLO") return "250-sink.test\r\n250 8BITMIME\r\n";
  if (verb == "DATA") {
    *data = true;
    return "354 End data with <CR><LF>.<CR><LF>\r\n";
  }
  if (verb == "QUIT") {
    *quit = true;
    return "221 Bye\r\n";
  }
  return "250 OK\r\n";
}

}  // namespace

SmtpSink::SmtpSink() {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 8) != 0)
    return;
  socklen_t len = sizeof a;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

SmtpSink::~SmtpSink() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  for (auto& t : sessions_) t.join();
  if (listener_ >= 0) close(listener_);
}

void SmtpSink::acceptLoop() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard guard(lock_);
    sessions_.emplace_back([this, fd] { serve(fd); });
  }
}

void SmtpSink::serve(int fd) {
  constexpr std::string_view kEnd = "\r\n.\r\n";
  std::string buffer(65536, '\0');
  std::string lines;  // command bytes not yet ended by a line feed
  bool inData = false;
  std::size_t matched = 0;  // how much of kEnd the message's last bytes match
  long long messageBytes = 0;
  bool quit = false;
  if (!sendAll(fd, "220 sink.test ESMTP\r\n")) quit = true;
  while (!quit) {
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n <= 0) break;
    std::string_view in(buffer.data(), static_cast<std::size_t>(n));
    while (!in.empty() && !quit) {
      if (inData) {
        // The message ends at CR LF "." CR LF; its first line counts as following a CR LF.
        std::size_t i = 0;
        for (; i < in.size() && matched < kEnd.size(); ++i) {
          if (in[i] == kEnd[matched])
            ++matched;
          else
            matched = in[i] == '\r' ? 1 : 0;
        }
        messageBytes += static_cast<long long>(i);
        in.remove_prefix(i);
        if (matched == kEnd.size()) {
          inData = false;
          ++messages_;
          bytes_ += messageBytes;
          if (!sendAll(fd, "250 Message accepted\r\n")) quit = true;
        }
        continue;
      }
      const std::size_t lf = in.find('\n');
      lines.append(in.substr(0, lf == std::string_view::npos ? in.size() : lf + 1));
      if (lf == std::string_view::npos) break;
      in.remove_prefix(lf + 1);
      const std::string_view reply = replyTo(lines, &inData, &quit);
      lines.clear();
      if (inData) {
        matched = 2;
        messageBytes = 0;
      }
      if (!sendAll(fd, reply)) quit = true;
    }
  }
  close(fd);
}
