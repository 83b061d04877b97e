#include <gtest/gtest.h>

#include <thread>

#include "TempWorkingDir.h"

#include "win32/com.h"

using ComStartUp = TempWorkingDir;

TEST_F(ComStartUp, FirstInitialisationOfAThreadIsOkLaterOnesAreCountedFalse) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
  HRESULT onOtherThread = S_FALSE;
  std::thread([&] { onOtherThread = OleInitialize(nullptr); }).join();
  EXPECT_EQ(onOtherThread, S_OK);
  OleUninitialize();
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);  // one initialisation is still outstanding
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(OleInitialize(nullptr), S_OK);
  OleUninitialize();
  OleUninitialize();  // more uninitialisations than initialisations are harmless
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}
