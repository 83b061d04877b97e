#include "win32/findwindow.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace {

// The abstract socket name of a caption: the user id and a 64-bit FNV-1a hash of the caption
// (any length of caption fits), with its length against the rare collision.
sockaddr_un AddressOf(const std::string& caption, socklen_t& length) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : caption) hash = (hash ^ c) * 1099511628211ull;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  int written = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1,
                              "tarnwick-window-%u-%016llx-%zu", static_cast<unsigned>(getuid()),
                              static_cast<unsigned long long>(hash), caption.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + written);
  return address;
}

int OpenSocket() { return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }

}  // namespace

// One bound socket per caption in this process, shared by all registrations of it.
struct WindowCaptionRegistration::Entry {
  std::string caption;
  int fd;
  ~Entry() { close(fd); }
};

namespace {

// Never destroyed, so registrations held by static objects may still be dropped at exit.
std::mutex& TableMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::map<std::string, std::weak_ptr<WindowCaptionRegistration::Entry>>& Table() {
  static auto* table = new std::map<std::string, std::weak_ptr<WindowCaptionRegistration::Entry>>;
  return *table;
}

}  // namespace

WindowCaptionRegistration& WindowCaptionRegistration::operator=(
    WindowCaptionRegistration&& other) noexcept {
  if (this != &other) {
    Release();
    entry_ = std::move(other.entry_);
  }
  return *this;
}

WindowCaptionRegistration::~WindowCaptionRegistration() { Release(); }

void WindowCaptionRegistration::Release() {
  if (!entry_) return;
  std::lock_guard lock(TableMutex());
  std::string caption = entry_->caption;
  entry_.reset();
  auto found = Table().find(caption);
  if (found != Table().end() && found->second.expired()) Table().erase(found);
}

WindowCaptionRegistration RegisterWindowCaption(const std::string& caption) {
  if (caption.empty()) return {};
  std::lock_guard lock(TableMutex());
  auto& slot = Table()[caption];
  if (auto shared = slot.lock()) return WindowCaptionRegistration(shared);
  int fd = OpenSocket();
  if (fd < 0) return {};
  socklen_t length = 0;
  sockaddr_un address = AddressOf(caption, length);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    close(fd);  // another process holds the caption already: it stays findable through that one
    return {};
  }
  auto entry = std::make_shared<WindowCaptionRegistration::Entry>();
  entry->caption = caption;
  entry->fd = fd;
  slot = entry;
  return WindowCaptionRegistration(entry);
}

HWND FindWindowA(LPCSTR /*lpClassName*/, LPCSTR lpWindowName) {
  if (!lpWindowName || !*lpWindowName) return nullptr;
  int fd = OpenSocket();
  if (fd < 0) return nullptr;
  socklen_t length = 0;
  sockaddr_un address = AddressOf(lpWindowName, length);
  // A datagram connect succeeds exactly when a socket is bound to the name; nothing is sent.
  bool found = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
  close(fd);
  // The handle is a token of existence only, the same non-null value for every caption.
  return found ? reinterpret_cast<HWND>(std::uintptr_t{0x1000}) : nullptr;
}
