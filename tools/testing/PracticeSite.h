#pragma once
// Test helpers around the practice auction site (tools/practice_site) and the fake outside
// programs (tools/fakes), for suites that drive the programs against real processes.
//
// PracticeSite starts the site with python3 on a free port of 127.0.0.1 and stops it when it
// goes out of scope (the site also stops by itself when the test process dies, since it
// watches the pipe on its standard input). Its README lists the item numbers, the control
// parameters and the counter.
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tarnwick::tools {

struct HttpReply {
  int status = 0;    // 0 when no reply came (connection refused, dropped or unreadable)
  std::string body;  // the body's bytes as received
};

// One blocking HTTP/1.0 GET of target (path and query) from 127.0.0.1:port.
HttpReply httpGet(int port, const std::string& target);

class PracticeSite {
 public:
  // Starts the site; arguments are passed on (for example "--offset", "60", "--catalogue",
  // path). Throws std::runtime_error when the site does not start.
  explicit PracticeSite(const std::vector<std::string>& arguments = {});
  ~PracticeSite();
  PracticeSite(const PracticeSite&) = delete;
  PracticeSite& operator=(const PracticeSite&) = delete;

  int port() const { return port_; }
  std::string host() const;     // "127.0.0.1:PORT", for the programs' host settings
  std::string baseUrl() const;  // "http://127.0.0.1:PORT"
  // The "[hosts]" section of "tarnwick.ini" that sends both programs' item pages, bid
  // histories and official time to the site, its lines ended with CR LF.
  std::string hostsSection() const;

  HttpReply get(const std::string& target) const;
  // GET /_control?query (values already URL-encoded); returns the JSON reply and throws
  // std::runtime_error when the site refuses the request.
  std::string control(const std::string& query) const;
  // Requests counted for target (path and query as the programs send it).
  int requestCount(const std::string& target) const;

 private:
  void stop();  // closes the site's standard input, which ends it; killed after 5 s

  pid_t pid_ = -1;
  int stdinFd_ = -1;
  int port_ = 0;
};

// Copies the fakes (tnsnip.exe, sandglass.exe, wakebell.exe, tarnwick-opener) into dir,
// executable, replacing older copies.
void stageFakes(const std::filesystem::path& dir);

// The opener recorder as staged in the build, for $TARNWICK_OPENER.
std::filesystem::path fakeOpener();

}  // namespace tarnwick::tools
