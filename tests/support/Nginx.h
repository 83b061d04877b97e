#pragma once
// A private nginx for one test: its own configuration, document root, error log and pid file
// in a temporary directory, listening on a free port of 127.0.0.1, run in the foreground as a
// child process and stopped when the object goes.
#include <QProcess>
#include <QTemporaryDir>
#include <string>

class Nginx {
 public:
  // Whether the nginx binary is on this machine.
  static bool available();
  // serverBlock: directives placed inside the server block (locations and the like).
  explicit Nginx(const std::string& serverBlock = {});
  ~Nginx();
  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;

  // Writes a file under the document root (folders are made as needed).
  void put(const std::string& path, const std::string& content);
  std::string dir() const;
  int port() const { return port_; }
  bool running() const { return running_; }
  std::string url(const std::string& path) const;
  std::string errorLog() const;

 private:
  QTemporaryDir dir_;
  QProcess process_;
  int port_ = 0;
  bool running_ = false;
};

// The number of requests nginx logged so far.
int requestsLogged(const Nginx& server);
