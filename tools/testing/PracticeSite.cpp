#include "tools/testing/PracticeSite.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::tools {
namespace {

constexpr std::array fakeNames{"tnsnip.exe", "sandglass.exe", "wakebell.exe", "tarnwick-opener"};
constexpr int replyTimeoutMs = 10000;

// Owns a file descriptor for the length of one call.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool waitReadable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&entry, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

// Reads the site's first line ("listening on PORT") from its standard output.
int readPort(int fd) {
  std::string line;
  char c = 0;
  while (line.size() < 200 && waitReadable(fd, replyTimeoutMs) && read(fd, &c, 1) == 1) {
    if (c == '\n') break;
    line += c;
  }
  const std::string prefix = "listening on ";
  if (line.rfind(prefix, 0) != 0) return 0;
  return std::atoi(line.c_str() + prefix.size());
}

bool waitExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

HttpReply httpGet(int port, const std::string& target) {
  HttpReply reply;
  Fd sock(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (sock.get() < 0) return reply;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(sock.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return reply;
  }
  const std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(sock.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    return reply;
  }
  std::string raw;
  std::array<char, 8192> buffer{};
  while (waitReadable(sock.get(), replyTimeoutMs)) {
    const ssize_t got = recv(sock.get(), buffer.data(), buffer.size(), 0);
    if (got <= 0) break;
    raw.append(buffer.data(), static_cast<size_t>(got));
  }
  const size_t headEnd = raw.find("\r\n\r\n");
  if (raw.rfind("HTTP/", 0) != 0 || headEnd == std::string::npos) return reply;
  reply.status = std::atoi(raw.c_str() + raw.find(' ') + 1);
  reply.body = raw.substr(headEnd + 4);
  return reply;
}

PracticeSite::PracticeSite(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{TARNWICK_PYTHON3, "-B", TARNWICK_PRACTICE_SITE, "0",
                                   "--watch-stdin"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  int toSite[2];
  int fromSite[2];
  if (pipe2(toSite, O_CLOEXEC) != 0) throw std::runtime_error("practice site: no pipe");
  Fd toRead(toSite[0]), toWrite(toSite[1]);
  if (pipe2(fromSite, O_CLOEXEC) != 0) throw std::runtime_error("practice site: no pipe");
  Fd fromRead(fromSite[0]), fromWrite(fromSite[1]);

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("practice site: fork failed");
  if (pid_ == 0) {
    dup2(toRead.get(), STDIN_FILENO);
    dup2(fromWrite.get(), STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  stdinFd_ = toWrite.release();
  port_ = readPort(fromRead.get());
  if (port_ <= 0) {
    stop();
    throw std::runtime_error("practice site did not start: " + command[2]);
  }
}

PracticeSite::~PracticeSite() { stop(); }

void PracticeSite::stop() {
  if (stdinFd_ >= 0) close(std::exchange(stdinFd_, -1));
  if (pid_ > 0) {
    if (!waitExit(pid_, std::chrono::seconds(5))) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
}

std::string PracticeSite::host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string PracticeSite::baseUrl() const { return "http://" + host(); }

std::string PracticeSite::hostsSection() const {
  const std::string url = baseUrl();
  return "[hosts]\r\nitem=" + url + "\r\nbids=" + url + "\r\ntime=" + url + "\r\n";
}

HttpReply PracticeSite::get(const std::string& target) const { return httpGet(port_, target); }

std::string PracticeSite::control(const std::string& query) const {
  HttpReply reply = get("/_control?" + query);
  if (reply.status != 200) {
    throw std::runtime_error("practice site refused control " + query + ": " + reply.body);
  }
  return reply.body;
}

int PracticeSite::requestCount(const std::string& target) const {
  // The counter is a flat JSON object of "target": count pairs.
  const std::string stats = get("/_stats").body;
  const std::string key = "\"" + target + "\": ";
  const size_t at = stats.find(key);
  return at == std::string::npos ? 0 : std::atoi(stats.c_str() + at + key.size());
}

void stageFakes(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  for (const char* name : fakeNames) {
    fs::copy_file(fs::path(TARNWICK_FAKES_DIR) / name, dir / name,
                  fs::copy_options::overwrite_existing);
  }
}

std::filesystem::path fakeOpener() {
  return std::filesystem::path(TARNWICK_FAKES_DIR) / "tarnwick-opener";
}

}  // namespace tarnwick::tools
