// The portal on a local clock that runs fast: the argument says how many times faster than the
// real one it runs from the program's start. So a test sees the schedule's minutes (the dispatch
// check every 4 minutes, the refresh countdown) pass in seconds.
#include <chrono>
#include <string>

#include "lib/DateTime.h"
#include "portal/PortalMain.h"

int main(int argc, char** argv) {
  const double factor = argc > 1 ? std::stod(argv[1]) : 1.0;
  const double start = Now();
  const auto started = std::chrono::steady_clock::now();
  SetClock([=] {
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - started;
    return TDateTime(start + since.count() * factor / 86400.0);
  });
  return runPortal({});
}
