#include "forms/Form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "forms/Application.h"
#include "forms/NewWidget.h"
#include "win32/findwindow.h"

// The top-level window of a form: reports moves, resizes and close requests to it.
class FormWindow : public QWidget {
 public:
  FormWindow() : QWidget(nullptr, Qt::Window) {}
  void attach(TForm* form) { form_ = form; }

 protected:
  void moveEvent(QMoveEvent* event) override {
    QWidget::moveEvent(event);
    if (form_) form_->windowMoved(geometry().x(), geometry().y());
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (form_) form_->windowResized();
  }
  void closeEvent(QCloseEvent* event) override {
    event->ignore();  // the form decides, and hides or keeps itself
    if (form_) form_->windowCloseRequested();
  }
  void changeEvent(QEvent* event) override {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && form_) form_->windowStateChanged();
  }

 private:
  TForm* form_ = nullptr;
};

struct TForm::CaptionRegistration {
  std::string caption;
  WindowCaptionRegistration registration;
};

TForm::TForm(TComponent* owner) : TControl(owner, NewWidget<FormWindow>()) {
  static_cast<FormWindow*>(Widget())->attach(this);
  TControl::SetVisible(false);
  updateWindowFlags();
}

TForm::~TForm() {
  if (auto* window = static_cast<FormWindow*>(Widget())) window->attach(nullptr);
  registration_.reset();
  Application->formDestroyed(this);
}

AnsiString TForm::Caption() const {
  return Widget() ? AnsiString::fromQString(Widget()->windowTitle()) : AnsiString();
}

void TForm::SetCaption(const AnsiString& caption) {
  if (!Widget()) return;
  Widget()->setWindowTitle(caption.toQString());
  updateCaptionRegistration();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  if (width != Width() || height != Height()) outerSizeSet_ = true;
  TControl::SetBounds(left, top, width, height);
}

int TForm::ClientWidth() const { return Widget() ? Widget()->width() : 0; }
int TForm::ClientHeight() const { return Widget() ? Widget()->height() : 0; }
void TForm::SetClientWidth(int width) {
  outerSizeSet_ = false;
  if (Widget()) Widget()->resize(std::max(width, 0), Widget()->height());
}
void TForm::SetClientHeight(int height) {
  outerSizeSet_ = false;
  if (Widget()) Widget()->resize(Widget()->width(), std::max(height, 0));
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  updateWindowFlags();
}

void TForm::SetActivateOnShow(bool activate) {
  activateOnShow_ = activate;
  if (Widget()) Widget()->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  updateWindowFlags();
}

void TForm::updateWindowFlags() {
  QWidget* window = Widget();
  if (!window) return;
  Qt::WindowFlags flags = Qt::Window;
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) flags = Qt::Tool;
  if (borderStyle_ == bsNone) {
    flags |= Qt::FramelessWindowHint;
  } else {
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (borderIcons_ & biSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (borderIcons_ & biMinimize) flags |= Qt::WindowMinimizeButtonHint;
    if (borderIcons_ & biMaximize) flags |= Qt::WindowMaximizeButtonHint;
    if (borderIcons_ & biHelp) flags |= Qt::WindowContextHelpButtonHint;
  }
  const bool shown = window->isVisible();
  window->setWindowFlags(flags);
  if (shown) window->show();  // changing the flags hides a window
}

void TForm::SetVisible(bool visible) {
  QWidget* window = Widget();
  const bool wasVisible = Visible();
  TControl::SetVisible(visible);
  if (!window) return;
  if (visible) {
    // The outer frame as set so far: the window's decorations may first be known once it
    // shows, and the frame keeps its size, the client area giving way.
    const QRect outer(Left(), Top(), Width(), Height());
    window->show();
    if (wasVisible) return;
    if (outerSizeSet_ && window->frameGeometry() != outer)
      SetBounds(outer.x(), outer.y(), outer.width(), outer.height());
    updateCaptionRegistration();
    if (OnShow) {
      TNotifyEvent handler = OnShow;
      handler(this);
    }
  } else {
    if (!wasVisible) return;
    if (OnHide) {
      TNotifyEvent handler = OnHide;
      handler(this);
    }
    window->hide();
    updateCaptionRegistration();
  }
}

void TForm::Close() {
  TCloseAction action = caHide;
  if (OnClose) {
    TCloseEvent handler = OnClose;
    handler(this, action);
  }
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    SetVisible(false);
    Application->formClosed(this);
    return;
  }
  if (action == caMinimize) {
    minimisedByProgram_ = true;
    if (Widget()) Widget()->showMinimized();
    return;
  }
  SetVisible(false);
  if (action == caFree) {
    QPointer<QWidget> window = Widget();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [window] {
          if (window) delete TControl::FromWidget(window);
        },
        Qt::QueuedConnection);
  }
}

void TForm::DoCreate() {
  if (created_) return;
  created_ = true;
  if (OnCreate) {
    TNotifyEvent handler = OnCreate;
    handler(this);
  }
}

void TForm::Dispatch(TMessage& /*message*/) {}

void TForm::windowMoved(int x, int y) {
  TMessage message;
  message.Msg = WM_MOVE;
  message.LParam = MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y));
  TApplication::RunGuarded(this, [&] { Dispatch(message); });
}

void TForm::windowResized() {
  if (!OnResize) return;
  TNotifyEvent handler = OnResize;
  TApplication::RunGuarded(this, [&] { handler(this); });
}

// A form without a system menu has no close box, so a close request from the window manager
// (which may draw one all the same) is refused. The program's own Close still closes it.
void TForm::windowCloseRequested() {
  if (!(borderIcons_ & biSystemMenu)) return;
  TApplication::RunGuarded(this, [&] { Close(); });
}

// Some window managers offer every caption box whatever a window asks for, so a state that
// the form has no box for is undone once the manager has made it: a form without a minimise
// box comes back from a minimise, one without a maximise box from a maximise. A minimise the
// program asked for (an OnClose answering caMinimize) stands.
void TForm::windowStateChanged() {
  QWidget* window = Widget();
  if (!window) return;
  const Qt::WindowStates state = window->windowState();
  if (!(state & Qt::WindowMinimized)) minimisedByProgram_ = false;
  Qt::WindowStates refused;
  if ((state & Qt::WindowMinimized) && !(borderIcons_ & biMinimize) && !minimisedByProgram_)
    refused |= Qt::WindowMinimized;
  if ((state & Qt::WindowMaximized) && !(borderIcons_ & biMaximize)) refused |= Qt::WindowMaximized;
  if (!refused) return;
  QPointer<QWidget> guarded = window;
  QTimer::singleShot(0, window, [guarded, refused] {
    if (guarded) guarded->setWindowState(guarded->windowState() & ~refused);
  });
}

void TForm::updateCaptionRegistration() {
  const std::string caption = Caption().str();
  const bool wanted = Visible() && !caption.empty();
  if (!wanted) {
    registration_.reset();
    return;
  }
  if (registration_ && registration_->caption == caption) return;
  registration_.reset();
  registration_ = std::make_unique<CaptionRegistration>(
      CaptionRegistration{caption, RegisterWindowCaption(caption)});
}
