#pragma once
// TApplication and the global Application: the program's forms and its message loop.
//
// Start-up: Initialize, CreateForm for each form (the first one created becomes the main
// form; the application owns them all), then Run, which shows the main form when
// ShowMainForm is set and runs Qt's event loop until the main form closes or Terminate is
// called. A Close or Terminate before Run makes Run return at once.
//
// Failures: an exception that escapes an event handler run by the event loop (a click, a
// timer tick, a window message; also inside nested loops such as message boxes) comes to
// HandleException. With OnException set, the handler is called; if the handler throws, the
// loop is left and Run rethrows that exception to its caller (no main form OnClose runs).
// Without OnException, the exception is shown (ShowException) and the loop goes on. A thrown
// object that is not an Exception counts as an Exception with an empty message.
//
// The Qt application object is made on first need (any control, timer or Initialize). Call
// Finalize at the end of main to free the forms and Qt in order; without it they are left to
// the process's end.
//
// Metrics: the forms' layouts are given in pixels for an 8-point sans-serif dialog font at
// 96 dots per inch. Every window is drawn in the Fusion style with dialogFontFamily (Debian's
// fonts-liberation2, metric-compatible with the usual dialog fonts) at dialogFontPixels, set
// in pixels so the display's resolution does not change it.
#include <exception>
#include <functional>
#include <memory>

#include "lib/AnsiString.h"
#include "lib/Classes.h"
#include "lib/Exceptions.h"
#include "win32/types.h"

class QEventLoop;
class TForm;

inline constexpr const char* dialogFontFamily = "Liberation Sans";
inline constexpr int dialogFontPixels = 11;

using TExceptionEvent = std::function<void(TObject* Sender, Exception* E)>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  void Initialize();

  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& title) { title_ = title; }
  const AnsiString& HelpFile() const { return helpFile_; }
  void SetHelpFile(const AnsiString& helpFile) { helpFile_ = helpFile; }

  // Creates a form of type F owned by the application, stores it in reference, then fires
  // its OnCreate. The first form created this way is the main form.
  template <class F>
  void CreateForm(F*& reference) {
    EnsureQt();
    F* form = new F(this);
    reference = form;
    adoptForm(form);
    form->DoCreate();
  }

  TForm* MainForm() const;
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool show) { showMainForm_ = show; }

  void Run();
  // Delivers what is pending (Qt events, posted window messages) and returns. A WM_QUIT in
  // the queue terminates the application.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // An exception is on its way out of Run: boxes are answered without being shown.
  bool ExceptionPending() const { return pending_ != nullptr; }

  // The application's window handle (an owner for the shell's windows).
  HWND Handle() const;

  TExceptionEvent OnException;
  // Shows the exception's message in an error box titled with the application's title.
  void ShowException(Exception* E);
  // Called inside a catch block: routes the exception being handled as described above.
  void HandleException(TObject* Sender);

  // Frees every form, then the Qt application. Safe to call more than once.
  void Finalize();

  // Makes the Qt application object when there is none yet.
  static void EnsureQt();

  // Runs an event handler on behalf of the event loop: an exception it throws goes to
  // HandleException instead of into Qt.
  static void RunGuarded(TObject* sender, const std::function<void()>& handler);

 private:
  void adoptForm(TForm* form);
  friend class TForm;
  void formDestroyed(TForm* form);
  void formClosed(TForm* form);
  void leaveLoops();

  AnsiString title_;
  AnsiString helpFile_;
  TForm* mainForm_ = nullptr;
  bool showMainForm_ = true;
  bool terminated_ = false;
  bool running_ = false;
  QEventLoop* runLoop_ = nullptr;
  std::exception_ptr pending_;
};

extern TApplication* Application;
