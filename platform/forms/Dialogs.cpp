#include "forms/Dialogs.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cstdlib>
#include <cstring>
#include <map>

#include "forms/Application.h"
#include "forms/DialogBox.h"
#include "forms/DialogScript.h"
#include "forms/Form.h"

namespace {

DialogResponder& responder() {
  static DialogResponder installed;
  return installed;
}

bool isHeadless() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform &&
      (std::strcmp(platform, "offscreen") == 0 || std::strcmp(platform, "minimal") == 0))
    return true;
  return QGuiApplication::platformName() == "offscreen" ||
         QGuiApplication::platformName() == "minimal";
}

QMessageBox::StandardButton qtButtonOf(TMsgDlgBtn button) {
  switch (button) {
    case mbYes:
      return QMessageBox::Yes;
    case mbNo:
      return QMessageBox::No;
    case mbOK:
      return QMessageBox::Ok;
    case mbCancel:
      return QMessageBox::Cancel;
    case mbAbort:
      return QMessageBox::Abort;
    case mbRetry:
      return QMessageBox::Retry;
    case mbIgnore:
      return QMessageBox::Ignore;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon iconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning:
      return QMessageBox::Warning;
    case mtError:
      return QMessageBox::Critical;
    case mtInformation:
      return QMessageBox::Information;
    case mtConfirmation:
      return QMessageBox::Question;
    case mtCustom:
      return QMessageBox::NoIcon;
  }
  return QMessageBox::NoIcon;
}

AnsiString captionOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning:
      return "Warning";
    case mtError:
      return "Error";
    case mtInformation:
      return "Information";
    case mtConfirmation:
      return "Confirm";
    case mtCustom:
      break;
  }
  return Application->Title();
}

// Runs the box until it is answered. A box that takes the keyboard is modal. One that must
// not is shown without modality, because a modal window asks the window manager to activate it
// as it maps, and its own loop waits for the answer instead.
int runBox(QDialog& box, bool takesTheKeyboard) {
  if (takesTheKeyboard) return box.exec();
  box.setAttribute(Qt::WA_ShowWithoutActivating);
  box.setWindowModality(Qt::NonModal);
  QEventLoop loop;
  QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
  box.show();
  loop.exec(QEventLoop::DialogExec);
  return box.result();
}

DialogAnswer showQtDialog(const DialogRequest& request) {
  TApplication::EnsureQt();
  QWidget* owner = DialogOwner();
  const bool takesTheKeyboard = DialogTakesTheKeyboard(owner);
  if (request.kind == DialogKind::Input) {
    QInputDialog box(owner);
    box.setWindowTitle(request.caption.toQString());
    box.setLabelText(request.text.toQString());
    box.setTextEchoMode(QLineEdit::Normal);
    box.setTextValue(request.defaultValue.toQString());
    if (runBox(box, takesTheKeyboard) != QDialog::Accepted) return {mrCancel, AnsiString()};
    return {mrOk, AnsiString::fromQString(box.textValue())};
  }
  QMessageBox box(iconOf(request.type), request.caption.toQString(), request.text.toQString(),
                  QMessageBox::NoButton, owner);
  std::map<QAbstractButton*, TMsgDlgBtn> buttons;
  for (TMsgDlgBtn button : request.buttons) buttons[box.addButton(qtButtonOf(button))] = button;
  runBox(box, takesTheKeyboard);
  const auto chosen = buttons.find(box.clickedButton());
  if (chosen == buttons.end()) return {mrCancel, AnsiString()};
  return {ModalResultOf(chosen->second), AnsiString()};
}

DialogAnswer askOnce(const DialogRequest& request) {
  if (responder()) {
    DialogResponder current = responder();
    return current(request);
  }
  if (Application->ExceptionPending()) return DefaultDialogAnswer(request);
  if (DialogScriptIsSet()) {
    if (auto scripted = ScriptedDialogAnswer(request)) return *scripted;
    return DefaultDialogAnswer(request);
  }
  if (isHeadless()) return DefaultDialogAnswer(request);
  return showQtDialog(request);
}

}  // namespace

QWidget* DialogOwner() {
  QWidget* active = QApplication::activeWindow();
  if (active && active->isVisible() && dynamic_cast<TForm*>(TControl::FromWidget(active)))
    return active;
  TForm* main = Application->MainForm();
  if (main && main->Widget() && main->Widget()->isVisible()) return main->Widget();
  return nullptr;
}

bool DialogTakesTheKeyboard(QWidget* owner) {
  if (QApplication::activeWindow()) return true;
  const auto* form = dynamic_cast<TForm*>(TControl::FromWidget(owner));
  return !form || form->ActivateOnShow();
}

TMsgDlgButtons::TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons) {
  for (TMsgDlgBtn button : buttons) *this << button;
}

TMsgDlgButtons& TMsgDlgButtons::operator<<(TMsgDlgBtn button) {
  bits_ |= 1u << static_cast<unsigned>(button);
  return *this;
}

bool TMsgDlgButtons::Contains(TMsgDlgBtn button) const {
  return (bits_ & (1u << static_cast<unsigned>(button))) != 0;
}

std::vector<TMsgDlgBtn> TMsgDlgButtons::Ordered() const {
  std::vector<TMsgDlgBtn> ordered;
  for (TMsgDlgBtn button : {mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore})
    if (Contains(button)) ordered.push_back(button);
  return ordered;
}

void SetDialogResponder(DialogResponder newResponder) { responder() = std::move(newResponder); }

DialogAnswer DefaultDialogAnswer(const DialogRequest& request) {
  if (request.kind == DialogKind::Input) return {mrCancel, AnsiString()};
  if (request.buttons.empty()) return {mrOk, AnsiString()};
  return {ModalResultOf(request.buttons.front()), AnsiString()};
}

DialogAnswer ShowDialog(const DialogRequest& request) {
  const DialogAnswer answer = askOnce(request);
  LogDialog(request, answer);
  return answer;
}

int MessageDlg(const AnsiString& text, TMsgDlgType type, const TMsgDlgButtons& buttons,
               int /*helpContext*/) {
  DialogRequest request;
  request.kind = DialogKind::Message;
  request.caption = captionOf(type);
  request.text = text;
  request.type = type;
  request.buttons = buttons.Ordered();
  if (request.buttons.empty()) request.buttons = {mbOK};
  if (WaitsForWork(request)) return mrOk;
  return ShowDialog(request).modalResult;
}

void ShowMessage(const AnsiString& text) {
  DialogRequest request;
  request.kind = DialogKind::Message;
  request.caption = Application->Title();
  request.text = text;
  request.type = mtCustom;
  request.buttons = {mbOK};
  if (!WaitsForWork(request)) ShowDialog(request);
}

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  DialogRequest request;
  request.kind = DialogKind::Input;
  request.caption = caption;
  request.text = prompt;
  request.type = mtCustom;
  request.buttons = {mbOK, mbCancel};
  request.defaultValue = value;
  const DialogAnswer answer = ShowDialog(request);
  if (answer.modalResult != mrOk) return false;
  value = answer.text;
  return true;
}

AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt,
                    const AnsiString& defaultValue) {
  AnsiString value = defaultValue;
  InputQuery(caption, prompt, value);
  return value;
}
