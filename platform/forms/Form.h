#pragma once
// TForm: a top-level window.
//
// Show fires OnShow each time the form goes from hidden to shown; Close asks OnClose what to
// do (hide by default) and, for the application's main form, ends the application's loop
// (also when the loop has not started yet: Run then returns at once). Closing the window
// from its title bar goes through Close. A form being destroyed runs no OnClose.
//
// The border icons are what the window offers the window manager, and the form keeps to them
// whatever boxes the manager draws: without biSystemMenu it refuses the manager's close,
// without biMinimize or biMaximize it comes back from the manager's minimise or maximise.
//
// The window's moves reach the virtual Dispatch as WM_MOVE, so a form can map that message
// to a handler of its own and pass every other one to TForm::Dispatch.
//
// While shown, the form's caption is registered for FindWindowA (also from other
// processes); hiding, closing or destroying the form withdraws it.
#include <functional>
#include <memory>

#include "forms/Control.h"
#include "forms/Messages.h"

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;  // an or of TBorderIcon values

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

class TForm : public TControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);

  // Left, Top, Width and Height (from TControl) are the window's outer frame. Whichever size
  // was set last, the outer one (SetBounds, SetWidth, SetHeight) or the client one, is kept
  // when the window's decorations become known as it first shows.
  void SetBounds(int left, int top, int width, int height) override;
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientWidth(int width);
  void SetClientHeight(int height);

  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);

  void SetVisible(bool visible) override;
  void Close();

  // Whether showing the form makes it the active window (the default). A form that does not
  // activate comes up without taking the keyboard focus from the window that has it.
  bool ActivateOnShow() const { return activateOnShow_; }
  void SetActivateOnShow(bool activate);

  // Fires OnCreate once; TApplication::CreateForm calls it after construction.
  void DoCreate();

  // The form's message map. The default handles nothing.
  virtual void Dispatch(TMessage& message);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnResize;
  TCloseEvent OnClose;

 private:
  friend class FormWindow;
  void windowMoved(int x, int y);
  void windowResized();
  void windowCloseRequested();
  void windowStateChanged();
  void updateWindowFlags();
  void updateCaptionRegistration();

  struct CaptionRegistration;
  std::unique_ptr<CaptionRegistration> registration_;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TFormBorderStyle borderStyle_ = bsSizeable;
  bool created_ = false;
  bool activateOnShow_ = true;
  bool outerSizeSet_ = false;
  bool minimisedByProgram_ = false;
};
