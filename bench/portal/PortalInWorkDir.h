#pragma once
// The portal's two forms made in-process for a benchmark, working in a temporary working
// directory (and Windows directory) of their own, with the end-time formats of a run and
// trace logging off, as a run with the log-file preference off (its default).
#include "TempWorkingFolder.h"

namespace bench {

class PortalInWorkDir {
 public:
  // Throws std::runtime_error when the directory cannot be made.
  PortalInWorkDir();
  ~PortalInWorkDir();
  PortalInWorkDir(const PortalInWorkDir&) = delete;
  PortalInWorkDir& operator=(const PortalInWorkDir&) = delete;

 private:
  TempWorkingFolder work_{{.work = "", .windows = "windows"}};
};

}  // namespace bench
