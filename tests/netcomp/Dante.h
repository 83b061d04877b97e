#pragma once
// Debian's dante-server (danted) as a SOCKS 4 and 5 proxy on a free loopback port: started
// with a generated configuration in a temporary folder, stopped with the object.
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <string>

class Dante {
 public:
  struct Options {
    bool username = false;  // level 5 method "username" (system accounts) instead of none
    int blockedPort = 0;    // connections to this loopback port are refused by the ruleset
  };
  // Null when danted is not installed.
  static std::unique_ptr<Dante> start(const Options& options);
  static const char* missingMessage() {
    return "danted (Debian's dante-server) is not installed; scripts/install-deps.sh installs it";
  }
  explicit Dante(const std::string& program, const Options& options);
  ~Dante();
  Dante(const Dante&) = delete;
  Dante& operator=(const Dante&) = delete;
  bool running() const { return running_; }
  int port() const { return port_; }
  // The proxy's log, for failure messages.
  std::string log() const;

 private:
  QTemporaryDir dir_;
  QProcess process_;
  int port_ = 0;
  bool running_ = false;
};
