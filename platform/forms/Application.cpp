#include "forms/Application.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFont>
#include <QStyleFactory>
#include <QWidget>

#include "forms/Control.h"
#include "forms/DialogBox.h"
#include "forms/Form.h"
#include "win32/windows.h"

namespace {

// Qt's application object, routing exceptions out of event delivery to the application.
class GuardedQApplication final : public QApplication {
 public:
  GuardedQApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (...) {
      QWidget* widget =
          receiver && receiver->isWidgetType() ? static_cast<QWidget*>(receiver) : nullptr;
      TObject* sender = TControl::FromWidget(widget);
      Application->HandleException(sender ? sender : Application);
      return false;
    }
  }
};

int qtArgc = 1;
char qtProgramName[] = "tarnwick";
char* qtArgv[] = {qtProgramName, nullptr};
QApplication* ownQApplication = nullptr;

void pumpMessages() { Application->ProcessMessages(); }
bool applicationTerminated() { return Application->Terminated(); }

}  // namespace

// Never destroyed: the forms and Qt are freed by Finalize, before static destruction.
TApplication* Application = new TApplication;

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { Finalize(); }

void TApplication::EnsureQt() {
  static bool pumpInstalled = false;
  if (!pumpInstalled) {
    SetApplicationMessagePump(&pumpMessages);
    SetApplicationTerminatedQuery(&applicationTerminated);
    pumpInstalled = true;
  }
  if (!QCoreApplication::instance()) {
    // A Qt application made elsewhere (a test's main) lacks the exception routing of notify;
    // the controls' own handlers still route what they run.
    ownQApplication = new GuardedQApplication(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);
  }
  static QCoreApplication* styled = nullptr;
  if (styled == QCoreApplication::instance()) return;
  styled = QCoreApplication::instance();
  // The windows' layouts are drawn in pixels for an 8-point sans-serif dialog font: the
  // same look on every desktop, and a font whose captions fit the layouts' boxes.
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QFont font;
  font.setFamilies({dialogFontFamily, "Arial", "Helvetica"});
  font.setPixelSize(dialogFontPixels);
  QApplication::setFont(font);
}

void TApplication::Initialize() { EnsureQt(); }

TForm* TApplication::MainForm() const { return mainForm_; }

void TApplication::adoptForm(TForm* form) {
  if (mainForm_) return;
  mainForm_ = form;
  // A new main form starts a new run of the application.
  terminated_ = false;
  pending_ = nullptr;
}

void TApplication::formDestroyed(TForm* form) {
  if (form != mainForm_) return;
  mainForm_ = nullptr;
  Terminate();
}

void TApplication::formClosed(TForm* form) {
  if (form == mainForm_) Terminate();
}

void TApplication::Run() {
  EnsureQt();
  auto rethrowPending = [this] {
    if (!pending_) return;
    std::exception_ptr failure = pending_;
    pending_ = nullptr;
    std::rethrow_exception(failure);
  };
  rethrowPending();
  if (!mainForm_ || terminated_) return;
  if (showMainForm_ && !mainForm_->Visible()) mainForm_->Show();
  running_ = true;
  while (!terminated_ && !pending_) {
    QEventLoop loop;
    runLoop_ = &loop;
    loop.exec();
    runLoop_ = nullptr;
  }
  running_ = false;
  rethrowPending();
}

void TApplication::ProcessMessages() {
  EnsureQt();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  const PumpPass pass;  // from here: a slow paint above still leaves the queue its pass
  MSG message;
  while (pass.GoesOn() && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      Terminate();
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  if (runLoop_) runLoop_->exit(0);
}

HWND TApplication::Handle() const {
  return reinterpret_cast<HWND>(const_cast<TApplication*>(this));
}

void TApplication::ShowException(Exception* E) {
  DialogRequest request;
  request.kind = DialogKind::Exception;
  request.caption = title_;
  request.text = E ? E->Message() : AnsiString();
  request.type = mtError;
  request.buttons = {mbOK};
  ShowDialog(request);
}

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr current = std::current_exception();
  if (!current) return;
  auto route = [this, Sender](Exception* failure) {
    if (pending_) return;  // already on the way out of Run
    if (!OnException) {
      ShowException(failure);
      return;
    }
    TExceptionEvent handler = OnException;
    try {
      handler(Sender, failure);
    } catch (...) {
      pending_ = std::current_exception();
      leaveLoops();
    }
  };
  try {
    std::rethrow_exception(current);
  } catch (Exception& failure) {
    route(&failure);
  } catch (...) {
    Exception failure{AnsiString()};
    route(&failure);
  }
}

// Ends the application's loop and every box open inside it (a box of a program in the
// background is not modal, and has its own loop all the same). (QCoreApplication::exit
// would do it too, but leaves every later loop of the process unable to run.)
void TApplication::leaveLoops() {
  Terminate();
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(window);
    if (dialog && dialog->isVisible()) dialog->reject();
  }
}

void TApplication::RunGuarded(TObject* sender, const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    Application->HandleException(sender);
  }
}

void TApplication::Finalize() {
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
  mainForm_ = nullptr;
  if (ownQApplication) {
    delete ownQApplication;
    ownQApplication = nullptr;
  }
}
