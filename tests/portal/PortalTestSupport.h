#pragma once
// Shared by the portal's tests: each test works in a fresh temporary working directory with a
// fresh Windows directory (never the user's), both removed afterwards. The Windows directory's
// "tarnwick.ini" starts with every auction-site host on a port of 127.0.0.1 where nothing
// listens, and a mail account on 127.0.0.1; a test that needs a site points the host it uses
// at a practice site.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>

#include "TempWorkingDir.h"

// The hosts section that keeps a program on loopback: requests are refused at once. Its mail
// account names a server on loopback too.
inline constexpr const char* loopbackHosts =
    "[hosts]\r\nitem=http://127.0.0.1:1\r\nbids=http://127.0.0.1:1\r\ntime=http://127.0.0.1:1\r\n"
    "[mail]\r\nHost=127.0.0.1\r\nSignOn=portal.test\r\nUsername=tarn\r\nPassword=s3cret\r\n"
    "FromName=tarn@portal.test\r\nRcptName=buyer@peer.test\r\nHdrFrom=Tarn <tarn@portal.test>\r\n"
    "HdrTo=buyer@peer.test\r\nHdrSender=tarn@portal.test\r\n";

// Writes loopbackHosts as the folder's "tarnwick.ini".
inline void writeLoopbackHosts(const TempWorkingFolder& folder) {
  QFile ini(QString::fromStdString((folder.windows() / "tarnwick.ini").string()));
  if (ini.open(QIODevice::WriteOnly)) ini.write(loopbackHosts);
}

class PortalWorkDir : public TempWorkingDir {
 protected:
  void SetUp() override {
    TempWorkingDir::SetUp();
    work_ = QString::fromStdString(work().string());
    windir_ = QString::fromStdString(windows().string());
    writeLoopbackHosts(root_);
  }

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

  QString work_;
  QString windir_;
};
