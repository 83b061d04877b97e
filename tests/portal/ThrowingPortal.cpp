// The portal with one handler that throws inside the message loop: a timer owned by the main
// window whose first tick raises an exception (the message is the first argument, if any).
#include <string>

#include "forms/Timer.h"
#include "lib/Exceptions.h"
#include "portal/PortalMain.h"
#include "portal/Unit1.h"

int main(int argc, char** argv) {
  const std::string message = argc > 1 ? argv[1] : "Handler failed.";
  return runPortal([message] {
    auto* timer = new TTimer(frmMain);
    timer->SetInterval(50);
    timer->OnTimer = [message](TObject*) { throw Exception(message); };
    timer->SetEnabled(true);
  });
}
