// Runs the suite headless inside the application object's own Qt application (with its
// exception routing), also when the test list is read at build time. The forms a suite made
// once for all its tests are freed at the end, with Qt, as the programs' own mains do: left to
// the program's exit, a browser's network thread could still be running while Qt's data goes.
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
