#pragma once
// The local clock run fast: from the call on, it runs factor times faster than the real one.
// So a test sees the schedule's minutes (the dispatch check every 4 minutes, the refresh
// countdown) pass in seconds.
#include <chrono>

#include "lib/DateTime.h"

inline void runLocalClockFast(double factor) {
  const double start = Now();
  const auto started = std::chrono::steady_clock::now();
  SetClock([=] {
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - started;
    return TDateTime(start + since.count() * factor / 86400.0);
  });
}
