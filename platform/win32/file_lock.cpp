#include "win32/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

ExclusiveFileLock::ExclusiveFileLock(const std::string& path) {
  // O_CLOEXEC: a started program (the agent, the sniper) that outlives its starter must not
  // keep the lock held through an inherited descriptor.
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd_ < 0) return;
  int result;
  do {
    result = flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    state_ = State::Held;
    return;
  }
  state_ = errno == EWOULDBLOCK ? State::HeldElsewhere : State::Unavailable;
  close(fd_);
  fd_ = -1;
}

ExclusiveFileLock::~ExclusiveFileLock() {
  if (fd_ >= 0) close(fd_);
}
