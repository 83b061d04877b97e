// Drives one real network component against one peer of the hostile suite and prints how the
// request ended, one "key=value" line each, for the harness (test_hostile.py) to judge. The
// harness runs it as a child process, so that its elapsed time is its own; its last line,
// peak_kb, is its own peak resident memory (the high-water mark of this program's address
// space, which a fork's parent does not share).
//
//   hostile_driver http --url URL [--abort-after MS] [--version 1.0|1.1]
//                       [--user NAME --password WORD]
//                       [--socks-server HOST --socks-port PORT [--socks-level 4|4A|5]]
//   hostile_driver smtp --port PORT --step open|mail [--timeout SECONDS]
//
// "http" runs a blocking Get (as the portal does) into a stream that only counts the bytes.
// With --abort-after, a timer calls Abort after that many milliseconds (the caller's way to
// end what the component sets no time limit for). It prints status, reason, exception (the
// code of the EHttpException the Get raised, or "none"), dones (OnRequestDone count, pumped a
// little after the Get so that a late second one shows), errcode (the last one's ErrCode),
// body (bytes written to the stream), socks_error (OnSocksError's code, or 0) and aborted
// (whether the timer fired).
//
// "smtp" runs the blocking calls of the SMTP client against 127.0.0.1:PORT: OpenSync (connect
// and HELO), and with "mail" then MailSync of a message of 20000 lines. It prints result (the
// last call's), error (ErrorMessage), status (StatusCode), connected, ready (State is
// smtpReady) and dones (OnRequestDone count, pumped a little after the calls).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "lib/Streams.h"
#include "netcomp/HttpProt.h"
#include "smtp/SmtpProt.h"

namespace {

// A body stream that keeps nothing: a hostile body must not grow the driver's own memory.
class CountingStream : public TStream {
 public:
  int Read(void*, int) override { return 0; }
  int Write(const void*, int count) override {
    position_ += count;
    if (position_ > size_) size_ = position_;
    return count;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t base = origin == soFromBeginning ? 0
                              : origin == soFromCurrent ? position_
                                                        : size_;
    position_ = std::max<std::int64_t>(0, base + offset);
    return position_;
  }
  void SetSize(std::int64_t newSize) override {
    size_ = newSize;
    position_ = std::min(position_, size_);
  }
  std::int64_t written() const { return size_; }

 private:
  std::int64_t position_ = 0;
  std::int64_t size_ = 0;
};

void pumpFor(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void print(const char* key, const std::string& value) {
  std::printf("%s=%s\n", key, value.c_str());
}

int runHttp(const std::map<std::string, std::string>& options) {
  auto option = [&](const char* name) {
    auto it = options.find(name);
    return it == options.end() ? std::string() : it->second;
  };
  THttpCli cli(nullptr);
  cli.SetName("HttpCli1");
  CountingStream body;
  cli.RcvdStream = &body;
  cli.URL = option("url").c_str();
  if (!option("version").empty()) cli.SetRequestVer(option("version").c_str());
  cli.Username = option("user").c_str();
  cli.Password = option("password").c_str();
  cli.SocksServer = option("socks-server").c_str();
  cli.SocksPort = option("socks-port").c_str();
  cli.SocksLevel = option("socks-level").c_str();
  int dones = 0, socksError = 0;
  WORD errCode = 0;
  cli.OnRequestDone = [&](TObject*, THttpRequest, WORD error) {
    ++dones;
    errCode = error;
  };
  cli.OnSocksError = [&](TObject*, int error, const AnsiString&) { socksError = error; };
  bool aborted = false;
  QTimer abortTimer;
  if (!option("abort-after").empty()) {
    abortTimer.setSingleShot(true);
    QObject::connect(&abortTimer, &QTimer::timeout, [&] {
      aborted = true;
      cli.Abort();
    });
    abortTimer.start(std::stoi(option("abort-after")));
  }
  std::string exception = "none";
  try {
    cli.Get();
  } catch (const EHttpException& e) {
    exception = std::to_string(e.ErrorCode);
  }
  abortTimer.stop();
  pumpFor(300);
  print("status", std::to_string(cli.StatusCode()));
  print("reason", cli.ReasonPhrase().str());
  print("exception", exception);
  print("dones", std::to_string(dones));
  print("errcode", std::to_string(errCode));
  print("body", std::to_string(body.written()));
  print("socks_error", std::to_string(socksError));
  print("aborted", aborted ? "yes" : "no");
  return 0;
}

int runSmtp(const std::map<std::string, std::string>& options) {
  auto option = [&](const char* name) {
    auto it = options.find(name);
    return it == options.end() ? std::string() : it->second;
  };
  TSyncSmtpCli cli(nullptr);
  cli.Host = "127.0.0.1";
  cli.Port = option("port").c_str();
  cli.SignOn = "hostile.test";
  if (!option("timeout").empty()) cli.Timeout = std::stoi(option("timeout"));
  int dones = 0;
  cli.OnRequestDone = [&](TObject*, TSmtpRequest, WORD) { ++dones; };
  cli.OnGetData = [](TObject*, int lineNum, char* line, int maxLen, bool& more) {
    std::snprintf(line, static_cast<std::size_t>(maxLen), "line %d of a long message", lineNum);
    more = lineNum <= 20000;
  };
  bool result = cli.OpenSync();
  if (result && option("step") == "mail") {
    cli.FromName = "tarn@hostile.test";
    cli.RcptName()->Add("one@hostile.test");
    result = cli.MailSync();
  }
  pumpFor(300);
  print("result", result ? "true" : "false");
  print("error", cli.ErrorMessage().str());
  print("status", std::to_string(cli.StatusCode()));
  print("connected", cli.Connected() ? "yes" : "no");
  print("ready", cli.State() == smtpReady ? "yes" : "no");
  print("dones", std::to_string(dones));
  return 0;
}

// VmHWM of this process: the peak of its own resident memory since its exec.
std::string ownPeakKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::to_string(std::stol(line.substr(6)));
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: hostile_driver http|smtp [options]\n");
    return 2;
  }
  std::map<std::string, std::string> options;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (name.rfind("--", 0) != 0) {
      std::fprintf(stderr, "unexpected argument %s\n", argv[i]);
      return 2;
    }
    options[name.substr(2)] = argv[i + 1];
  }
  const std::string mode = argv[1];
  if (mode != "http" && mode != "smtp") {
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
  }
  const int result = mode == "http" ? runHttp(options) : runSmtp(options);
  print("peak_kb", ownPeakKb());
  return result;
}
