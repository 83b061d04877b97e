#pragma once
// An exclusive lock on a file, which the system gives up when the holding process ends,
// however it ends: a program killed or crashed never leaves it held, so the next start can
// take it. The lock file is made when missing and never written. Programs the holder starts
// do not inherit the lock.
#include <string>

class ExclusiveFileLock {
 public:
  enum class State {
    Held,           // this object holds the lock
    HeldElsewhere,  // another process (or another lock object) holds it
    Unavailable,    // the lock file cannot be opened, or the system keeps no such locks there
  };

  // Tries once to take the lock on path; does not wait.
  explicit ExclusiveFileLock(const std::string& path);
  ~ExclusiveFileLock();
  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

  State state() const { return state_; }

 private:
  int fd_ = -1;
  State state_ = State::Unavailable;
};
