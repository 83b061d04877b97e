#pragma once
// Runs Qt's event loop (which dispatches the posted window messages) until a condition holds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs the loop for a while (to see that nothing more happens).
inline void pumpFor(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}
