#include "Dante.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <chrono>
#include <thread>

#include "Peer.h"

std::unique_ptr<Dante> Dante::start(const Options& options) {
  QString program = QStandardPaths::findExecutable("danted");
  if (program.isEmpty() && QFileInfo::exists("/usr/sbin/danted")) program = "/usr/sbin/danted";
  if (program.isEmpty()) return nullptr;
  return std::make_unique<Dante>(program.toStdString(), options);
}

Dante::Dante(const std::string& program, const Options& options) {
  port_ = peer::unusedPort();
  QString config = QString(
                       "logoutput: %1/danted.log\n"
                       "internal: 127.0.0.1 port = %2\n"
                       "external: 127.0.0.1\n"
                       "clientmethod: none\n"
                       "socksmethod: %3\n"
                       "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n")
                       .arg(dir_.path())
                       .arg(port_)
                       .arg(options.username ? "username" : "none");
  if (options.blockedPort)
    config += QString("socks block { from: 0.0.0.0/0 to: 127.0.0.1/32 port = %1 }\n")
                  .arg(options.blockedPort);
  config += "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n";
  QString configPath = dir_.filePath("danted.conf");
  QFile file(configPath);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(config.toUtf8());
  file.close();
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.start(QString::fromStdString(program),
                 {"-f", configPath, "-N", "1", "-p", dir_.filePath("danted.pid")});
  if (!process_.waitForStarted(5000)) return;
  for (int i = 0; i < 100 && process_.state() == QProcess::Running; ++i) {
    int fd = peer::connectTo(port_);
    if (fd >= 0) {
      peer::close(fd);
      running_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

Dante::~Dante() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(2000);
  }
}

std::string Dante::log() const {
  QFile file(dir_.filePath("danted.log"));
  if (!file.open(QIODevice::ReadOnly)) return "(no log)";
  return file.readAll().toStdString();
}
