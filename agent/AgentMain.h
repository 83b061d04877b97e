#pragma once
// The agent's entry point.
#include <functional>

// The program: the application, its one form, the message loop until the form closes. An
// exception that escapes is shown, and the program ends. Reads no arguments; returns 0.
int WinMain();

// WinMain's body. beforeLoop, when given, runs once the form exists, just before the message
// loop starts.
int runAgent(const std::function<void()>& beforeLoop);
