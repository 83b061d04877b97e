#pragma once
// Shared by the portal's tests: each test works in a fresh temporary working directory with a
// fresh Windows directory (never the user's), both removed afterwards. The Windows directory's
// "tarnwick.ini" starts with every auction-site host on a port of 127.0.0.1 where nothing
// listens, and a mail account on 127.0.0.1; a test that needs a site points the host it uses
// at a practice site.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <string>

// The hosts section that keeps a program on loopback: requests are refused at once. Its mail
// account names a server on loopback too.
inline constexpr const char* loopbackHosts =
    "[hosts]\r\nitem=http://127.0.0.1:1\r\nbids=http://127.0.0.1:1\r\ntime=http://127.0.0.1:1\r\n"
    "[mail]\r\nHost=127.0.0.1\r\nSignOn=portal.test\r\nUsername=tarn\r\nPassword=s3cret\r\n"
    "FromName=tarn@portal.test\r\nRcptName=buyer@peer.test\r\nHdrFrom=Tarn <tarn@portal.test>\r\n"
    "HdrTo=buyer@peer.test\r\nHdrSender=tarn@portal.test\r\n";

// Makes root/work and root/windows, the latter with loopbackHosts, and makes the Windows
// directory the process's.
inline void layOutPortalFolders(const QString& root) {
  QDir().mkpath(root + "/work");
  QDir().mkpath(root + "/windows");
  QFile ini(root + "/windows/tarnwick.ini");
  if (ini.open(QIODevice::WriteOnly)) ini.write(loopbackHosts);
  setenv("TARNWICK_WINDIR", (root + "/windows").toLocal8Bit().constData(), 1);
}

class PortalWorkDir : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    work_ = root_.path() + "/work";
    windir_ = root_.path() + "/windows";
    layOutPortalFolders(root_.path());
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(work_.toStdString());
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  static void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  static QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  QString workPath(const QString& name) const { return work_ + "/" + name; }
  QString windirPath(const QString& name) const { return windir_ + "/" + name; }

  QTemporaryDir root_;
  QString work_;
  QString windir_;
  std::filesystem::path previous_;
};
