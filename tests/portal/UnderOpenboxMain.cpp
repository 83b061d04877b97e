// The test program's main for the suites under a real window manager: starts Xvfb and openbox
// (see UnderOpenbox.h), runs the tests inside the application object's Qt application on that
// display, then ends both. Listing the tests starts nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "UnderOpenbox.h"
#include "forms/Application.h"

namespace {

std::string xFailure;
std::string managerFailure;

// Starts program with its arguments, output into log, the descriptor keep left open for it;
// the child ends with this process. -1 when it could not be started.
pid_t spawn(const std::vector<std::string>& arguments, const std::string& log, int keep = -1) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    if (in >= 0) dup2(in, STDIN_FILENO);
    if (keep >= 0) fcntl(keep, F_SETFD, 0);
    execvp(argv[0], argv.data());
    const int error = errno;
    (void)!write(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  const bool failed = child < 0 || read(report[0], &error, sizeof error) == sizeof error;
  close(report[0]);
  if (failed) {
    if (child > 0) waitpid(child, nullptr, 0);
    return -1;
  }
  return child;
}

void stop(pid_t& child) {
  if (child <= 0) return;
  kill(child, SIGTERM);
  for (int i = 0; i < 50 && waitpid(child, nullptr, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (waitpid(child, nullptr, WNOHANG) == 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  child = -1;
}

std::string tail(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  const std::string all = text.str();
  return all.size() > 600 ? all.substr(all.size() - 600) : all;
}

// What a command wrote on its standard output.
std::string output(const std::string& command) {
  std::string text;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    pclose(pipe);
  }
  return text;
}

// The session is started again, server and manager both, when either does not come up: a
// server that has written its display number may still refuse a client for a moment, and a
// manager that found no display ends at once.
constexpr int kSessionAttempts = 3;

class XSession {
 public:
  XSession() {
    char pattern[] = "/tmp/tarnwick-x-XXXXXX";
    if (!mkdtemp(pattern)) {
      xFailure = "no temporary folder for the X session";
      return;
    }
    home_ = pattern;
    for (int attempt = 1; attempt <= kSessionAttempts; ++attempt) {
      xFailure.clear();
      managerFailure.clear();
      if (startServer() && startManager()) return;
      stop(manager_);
      stop(server_);
      if (!runnable_) return;  // a program that cannot be run will not be on a second try
    }
    const std::string tries =
        " (the session was started " + std::to_string(kSessionAttempts) + " times)";
    if (!xFailure.empty()) xFailure += tries;
    if (!managerFailure.empty()) managerFailure += tries;
  }
  ~XSession() {
    stop(manager_);
    stop(server_);
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

 private:
  bool startServer() {
    int display[2];
    if (pipe2(display, O_CLOEXEC) != 0) {
      xFailure = "no pipe for the display number";
      return false;
    }
    const std::string log = home_ + "/xvfb.log";
    server_ = spawn({"Xvfb", "-displayfd", std::to_string(display[1]), "-screen", "0",
                     "1280x800x24", "-nolisten", "tcp"},
                    log, display[1]);
    close(display[1]);
    std::string number;
    if (server_ < 0) {
      xFailure = "Xvfb could not be run";
      runnable_ = false;
    } else {
      // The server writes its display number once it listens.
      pollfd wait{display[0], POLLIN, 0};
      while (poll(&wait, 1, 15000) > 0) {
        char c;
        if (read(display[0], &c, 1) != 1 || c == '\n') break;
        number += c;
      }
      if (number.empty()) xFailure = "Xvfb did not start: " + tail(log);
    }
    close(display[0]);
    if (number.empty()) return false;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // Listening is not yet serving: a client is let in once the server answers one.
    for (int i = 0; i < 100; ++i) {
      if (system("xdpyinfo >/dev/null 2>&1") == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    xFailure = "Xvfb on :" + number + " accepts no client: " + tail(log);
    return false;
  }

  bool startManager() {
    // The manager's own settings and caches stay in the session's folder.
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home_ + "/cache").c_str(), 1);
    const std::string log = home_ + "/openbox.log";
    manager_ = spawn({"openbox", "--sm-disable"}, log);
    if (manager_ < 0) {
      managerFailure = "openbox could not be run (scripts/install-deps.sh installs it)";
      runnable_ = false;
      return false;
    }
    // The manager announces itself on the root window once it manages the screen.
    for (int i = 0; i < 100; ++i) {
      if (output("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") !=
          std::string::npos)
        return true;
      if (waitpid(manager_, nullptr, WNOHANG) == manager_) {
        manager_ = -1;  // ended: no use waiting for it
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    managerFailure = "openbox did not come up: " + tail(log);
    return false;
  }

  std::string home_;
  pid_t server_ = -1;
  pid_t manager_ = -1;
  bool runnable_ = true;  // both programs could be run
};

}  // namespace

const std::string& xServerFailure() { return xFailure; }
const std::string& windowManagerFailure() { return managerFailure; }

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  int result = 0;
  {
    XSession session;
    if (xFailure.empty()) Application->Initialize();
    result = RUN_ALL_TESTS();
    // The forms and Qt's connection go before the server does.
    if (xFailure.empty()) Application->Finalize();
  }
  return result;
}
