#pragma once
// Every test runs in a fresh temporary working directory with its own Windows directory, and
// with no dialog responder left over from another test.
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>

#include "TempWorkingDir.h"
#include "forms/Dialogs.h"

class FormsTest : public TempWorkingDir {
 protected:
  void SetUp() override {
    TempWorkingDir::SetUp();
    unsetenv("TARNWICK_DIALOG_SCRIPT");
    unsetenv("TARNWICK_DIALOG_LOG");
    SetDialogResponder({});
  }
  void TearDown() override {
    SetDialogResponder({});
    TempWorkingDir::TearDown();
  }

  // Runs Qt's event loop for about ms milliseconds.
  static void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  }
};
