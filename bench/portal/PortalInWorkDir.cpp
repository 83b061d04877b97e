#include "PortalInWorkDir.h"

#include <cstdlib>
#include <stdexcept>

#include "forms/Application.h"
#include "lib/FormatSettings.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"

namespace bench {

PortalInWorkDir::PortalInWorkDir() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!work_.isValid()) throw std::runtime_error("no temporary working directory");
  work_.enter();

  Application->Initialize();
  Application->CreateForm(frmMain);
  Application->CreateForm(frmCommand);
  FormatSettings().ShortDateFormat = "mm/dd/yy";
  FormatSettings().LongTimeFormat = "hh:mm:ss";
  FormatSettings().DateSeparator = '/';
  FormatSettings().TimeSeparator = ':';
  frmMain->SetLogging(false);
}

PortalInWorkDir::~PortalInWorkDir() { Application->Finalize(); }

}  // namespace bench
