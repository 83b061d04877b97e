// Runs the suite under a QCoreApplication (no display), in a temporary working directory and
// with a temporary Windows directory.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "TempWorkingFolder.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  TempWorkingFolder folder;
  folder.enter();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
