#pragma once
// Shared by the portal's tests: each test works in a fresh temporary working directory with a
// fresh Windows directory (never the user's), both removed afterwards.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <string>

class PortalWorkDir : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.isValid());
    work_ = root_.path() + "/work";
    windir_ = root_.path() + "/windows";
    QDir().mkpath(work_);
    QDir().mkpath(windir_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(work_.toStdString());
    setenv("TARNWICK_WINDIR", windir_.toLocal8Bit().constData(), 1);
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
