#pragma once
// A private X session for the tests that need a real window manager: a virtual X server
// (Xvfb, on a display number it picks itself, so parallel runs never meet) with openbox
// managing it. The test program's main starts it before any test and points the programs'
// Qt at it (DISPLAY, the xcb platform); a test run only lists its tests without one.
#include <string>

// Why the X server could not be started; empty when it runs. Tests skip on it.
const std::string& xServerFailure();
// Why the window manager did not come up on the running server; empty when it did. A missing
// or broken manager is a failure, never a reason to skip.
const std::string& windowManagerFailure();
