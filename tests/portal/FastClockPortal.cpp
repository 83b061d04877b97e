// The portal on a local clock that runs fast: the argument says how many times faster than the
// real one it runs from the program's start.
#include <string>

#include "FastClock.h"
#include "portal/PortalMain.h"

int main(int argc, char** argv) {
  runLocalClockFast(argc > 1 ? std::stod(argv[1]) : 1.0);
  return runPortal({});
}
