#include "agent/AgentMain.h"

#include "agent/Tnwfr.h"
#include "forms/Application.h"
#include "lib/Exceptions.h"

int runAgent(const std::function<void()>& beforeLoop) {
  try {
    Application->Initialize();
    Application->SetTitle("Tarnwick Refresh Grid");
    Application->SetHelpFile("TARNWICK.HLP");
    Application->CreateForm(frmRefresh);
    if (beforeLoop) beforeLoop();
    Application->Run();
  } catch (Exception& E) {
    Application->ShowException(&E);
  } catch (...) {
    Exception E("");
    Application->ShowException(&E);
  }
  Application->Finalize();
  frmRefresh = nullptr;
  return 0;
}

int WinMain() { return runAgent({}); }
