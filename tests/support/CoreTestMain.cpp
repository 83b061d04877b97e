// Runs the suite under a QCoreApplication (no display), in a temporary working directory and
// with a temporary Windows directory.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir workDir;
  QTemporaryDir windowsDir;
  QDir::setCurrent(workDir.path());
  qputenv("TARNWICK_WINDIR", windowsDir.path().toLocal8Bit());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
