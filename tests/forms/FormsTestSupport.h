#pragma once
// Every test runs in a fresh temporary working directory with its own Windows directory, and
// with no dialog responder left over from another test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "forms/Dialogs.h"

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path().toStdString());
    std::filesystem::create_directory("windir");
    setenv("TARNWICK_WINDIR", (dir_.path() + "/windir").toLocal8Bit().constData(), 1);
    unsetenv("TARNWICK_DIALOG_SCRIPT");
    unsetenv("TARNWICK_DIALOG_LOG");
    SetDialogResponder({});
  }
  void TearDown() override {
    SetDialogResponder({});
    std::filesystem::current_path(previous_);
  }

  // Runs Qt's event loop for about ms milliseconds.
  static void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  }

 private:
  QTemporaryDir dir_;
  std::filesystem::path previous_;
};
