// Runs the suite headless inside the application object's own Qt application (with its
// exception routing), also when the test list is read at build time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "forms/Application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application->Initialize();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  Application->Finalize();
  return result;
}
