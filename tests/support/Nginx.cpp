#include "Nginx.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include "Peer.h"

namespace {
const char* const kNginx = "/usr/sbin/nginx";

void writeFile(const QString& name, const std::string& content) {
  QFileInfo(name).dir().mkpath(".");
  QFile file(name);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    file.write(content.data(), static_cast<qint64>(content.size()));
}
}  // namespace

bool Nginx::available() { return QFileInfo(kNginx).isExecutable(); }

Nginx::Nginx(const std::string& serverBlock) {
  port_ = peer::unusedPort();
  const std::string d = dir();
  QDir(dir_.path()).mkpath("www");
  QDir(dir_.path()).mkpath("tmp");
  // The worker may run as another user (nginx started by root): the files must be readable.
  const auto readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
  QFile::setPermissions(dir_.path(), readable);
  QFile::setPermissions(dir_.path() + "/www", readable);
  const std::string conf =
      "worker_processes 1;\n"
      "error_log " +
      d +
      "/error.log;\n"
      "pid " +
      d +
      "/nginx.pid;\n"
      "events { worker_connections 64; }\n"
      "http {\n"
      "  access_log " +
      d +
      "/access.log;\n"
      "  default_type application/octet-stream;\n"
      "  types { text/html html htm; text/plain txt; }\n"
      "  client_body_temp_path " +
      d +
      "/tmp/body;\n"
      "  proxy_temp_path " +
      d +
      "/tmp/proxy;\n"
      "  fastcgi_temp_path " +
      d +
      "/tmp/fastcgi;\n"
      "  uwsgi_temp_path " +
      d +
      "/tmp/uwsgi;\n"
      "  scgi_temp_path " +
      d +
      "/tmp/scgi;\n"
      "  server {\n"
      "    listen 127.0.0.1:" +
      std::to_string(port_) +
      ";\n"
      "    root " +
      d + "/www;\n" + serverBlock +
      "\n  }\n"
      "}\n";
  writeFile(dir_.path() + "/nginx.conf", conf);
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(kNginx, {"-p", dir_.path(), "-c", dir_.path() + "/nginx.conf", "-e",
                          dir_.path() + "/error.log", "-g", "daemon off;"});
  if (!process_.waitForStarted(5000)) return;
  for (int i = 0; i < 100 && process_.state() == QProcess::Running; ++i) {
    const int fd = peer::connectTo(port_);
    if (fd >= 0) {
      peer::close(fd);
      running_ = true;
      return;
    }
    QThread::msleep(50);
  }
}

Nginx::~Nginx() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(2000);
  }
}

void Nginx::put(const std::string& path, const std::string& content) {
  writeFile(dir_.path() + "/www/" + QString::fromStdString(path), content);
}

std::string Nginx::dir() const { return dir_.path().toStdString(); }

std::string Nginx::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string Nginx::errorLog() const {
  QFile file(dir_.path() + "/error.log");
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

int requestsLogged(const Nginx& server) {
  QFile file(QString::fromStdString(server.dir()) + "/access.log");
  if (!file.open(QIODevice::ReadOnly)) return 0;
  return static_cast<int>(file.readAll().count('\n'));
}
