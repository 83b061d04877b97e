#pragma once
// Finding top-level windows by caption across the processes of one user.
//
// A shown top-level window makes its caption known by holding a WindowCaptionRegistration:
// a datagram socket bound in the abstract Unix namespace under a name made from the user id
// and the caption. The name vanishes when the registration is dropped or the process dies,
// so a crashed program never leaves a stale "running" state. Several registrations of one
// caption within a process share one socket.
#include <memory>
#include <string>

#include "win32/types.h"

class WindowCaptionRegistration {
 public:
  WindowCaptionRegistration() = default;
  WindowCaptionRegistration(WindowCaptionRegistration&&) noexcept = default;
  WindowCaptionRegistration& operator=(WindowCaptionRegistration&& other) noexcept;
  ~WindowCaptionRegistration();

  // Whether the caption is now findable through this registration.
  bool IsActive() const { return entry_ != nullptr; }

  struct Entry;  // the socket of one caption, shared within the process

 private:
  friend WindowCaptionRegistration RegisterWindowCaption(const std::string& caption);
  explicit WindowCaptionRegistration(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
  void Release();
  std::shared_ptr<Entry> entry_;
};

// Makes the caption findable until the returned registration is dropped. An empty caption is
// not registered.
WindowCaptionRegistration RegisterWindowCaption(const std::string& caption);

// A non-null handle when some process of this user (this one included) has registered the
// caption lpWindowName, else null. The class name is not compared (only captions are
// registered); a null caption finds nothing. The handle only tells that the window exists.
HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
