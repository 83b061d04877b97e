#include "forms/Dialogs.h"

#include <QApplication>
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

DialogAnswer showQtDialog(const DialogRequest& request) {
  TApplication::EnsureQt();
  QWidget* owner = DialogOwner();
  if (request.kind == DialogKind::Input) {
    bool ok = false;
    const QString typed =
        QInputDialog::getText(owner, request.caption.toQString(), request.text.toQString(),
                              QLineEdit::Normal, request.defaultValue.toQString(), &ok);
    if (!ok) return {mrCancel, AnsiString()};
    return {mrOk, AnsiString::fromQString(typed)};
  }
  QMessageBox box(iconOf(request.type), request.caption.toQString(), request.text.toQString(),
                  QMessageBox::NoButton, owner);
  std::map<QAbstractButton*, TMsgDlgBtn> buttons;
  for (TMsgDlgBtn button : request.buttons) buttons[box.addButton(qtButtonOf(button))] = button;
  box.exec();
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
