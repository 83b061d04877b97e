#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "TempWorkingDir.h"
#include "WaitFor.h"
#include "win32/findwindow.h"

extern char** environ;

namespace {
// A caption no other test run uses, so parallel runs do not see each other.
std::string UniqueCaption(const std::string& base) { return base + " " + std::to_string(getpid()); }
}  // namespace

using WindowFinding = TempWorkingDir;
using WindowFindingAcrossProcesses = TempWorkingDir;

TEST_F(WindowFinding, RegisteredCaptionIsFoundUntilTheRegistrationIsDropped) {
  const std::string caption = UniqueCaption("Tarnwick Refresh Data Agent");
  EXPECT_EQ(FindWindowA(nullptr, caption.c_str()), nullptr);
  {
    WindowCaptionRegistration registration = RegisterWindowCaption(caption);
    EXPECT_TRUE(registration.IsActive());
    EXPECT_NE(FindWindowA(nullptr, caption.c_str()), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, (caption + "x").c_str()), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, caption.substr(0, caption.size() - 1).c_str()), nullptr);
  }
  EXPECT_EQ(FindWindowA(nullptr, caption.c_str()), nullptr);
}

TEST_F(WindowFinding, TwoWindowsWithOneCaptionKeepItFindableUntilBothClose) {
  const std::string caption = UniqueCaption("Command Bar");
  auto first = std::make_unique<WindowCaptionRegistration>(RegisterWindowCaption(caption));
  WindowCaptionRegistration second = RegisterWindowCaption(caption);
  first.reset();
  EXPECT_NE(FindWindowA(nullptr, caption.c_str()), nullptr);
  // Assigning over a registration drops the one it held.
  second = RegisterWindowCaption(caption + " other");
  EXPECT_EQ(FindWindowA(nullptr, caption.c_str()), nullptr);
  EXPECT_NE(FindWindowA(nullptr, (caption + " other").c_str()), nullptr);
}

TEST_F(WindowFinding, EmptyOrNullCaptionsAreNeverFound) {
  EXPECT_FALSE(RegisterWindowCaption("").IsActive());
  EXPECT_EQ(FindWindowA(nullptr, ""), nullptr);
  EXPECT_EQ(FindWindowA(nullptr, nullptr), nullptr);
}

TEST_F(WindowFindingAcrossProcesses, CaptionOfAnotherProcessIsFoundWhileItLives) {
  const std::string caption = UniqueCaption("Tarnwick Refresh Data Agent (holder)");
  const std::string ready = (work() / "ready").string();
  std::vector<char*> argv = {const_cast<char*>(CAPTION_HOLDER), const_cast<char*>(caption.c_str()),
                             const_cast<char*>(ready.c_str()), nullptr};
  pid_t holder = 0;
  ASSERT_EQ(posix_spawn(&holder, CAPTION_HOLDER, nullptr, nullptr, argv.data(), environ), 0);
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(ready); }));
  EXPECT_NE(FindWindowA(nullptr, caption.c_str()), nullptr);
  // A killed process takes its caption with it: nothing stale remains.
  kill(holder, SIGKILL);
  int status = 0;
  waitpid(holder, &status, 0);
  EXPECT_TRUE(WaitFor([&] { return FindWindowA(nullptr, caption.c_str()) == nullptr; }));
}
