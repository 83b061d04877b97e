// Holds a window caption registered until it is killed: argv[1] the caption, argv[2] a file
// written once the caption is findable.
#include <unistd.h>

#include <fstream>

#include "win32/findwindow.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  WindowCaptionRegistration registration = RegisterWindowCaption(argv[1]);
  if (!registration.IsActive()) return 1;
  std::ofstream(argv[2]) << "ready\n";
  for (;;) pause();
}
