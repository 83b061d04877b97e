#pragma once
// Message boxes and input boxes.
//
// Normally each box is a modal Qt dialog (its nested loop goes on delivering timer ticks,
// socket events and posted messages). A responder, when installed, is asked instead and no
// dialog is shown; it sees the box and gives the answer.
//
// Scripted answers for whole processes: when TARNWICK_DIALOG_SCRIPT names a file and no
// responder is installed, every box is answered from it. Each line of the file is
//     <text to look for> => <answer>
// The first line whose text occurs in the box's text (the prompt for input boxes) and has not
// been used yet answers the box and is used up; when every matching line is used up, the last
// matching one answers again. A line with the text "*" matches every box. Answers: OK,
// Cancel, Abort, Retry, Ignore, Yes, No, or "Text:" followed by what is typed into an input
// box (OK). Lines starting with "#" and empty lines are skipped. The file is read once (again when
// the variable names another file). Boxes that no line answers, and every box of a headless run
// (QT_QPA_PLATFORM=offscreen) without script or responder, get the default answer: the first button
// (mrOk, or mrAbort for Abort+Retry); input boxes Cancel. So a headless run never blocks. When
// TARNWICK_DIALOG_LOG names a file, every box is appended to it as one line:
//     <kind>|<type>|<buttons>|<caption>|<text>|<default>|<answer>
// (kind message/input/exception; buttons joined by ","; line breaks in texts written as \n).
#include <functional>
#include <initializer_list>
#include <vector>

#include "lib/AnsiString.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore };

// A set of buttons, written {mbOK} or TMsgDlgButtons() << mbAbort << mbRetry.
class TMsgDlgButtons {
 public:
  TMsgDlgButtons() = default;
  TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> buttons);
  TMsgDlgButtons& operator<<(TMsgDlgBtn button);
  bool Contains(TMsgDlgBtn button) const;
  // In the order a box shows them.
  std::vector<TMsgDlgBtn> Ordered() const;

 private:
  unsigned bits_ = 0;
};

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

int MessageDlg(const AnsiString& text, TMsgDlgType type, const TMsgDlgButtons& buttons,
               int helpContext = 0);
void ShowMessage(const AnsiString& text);
// The typed text on OK, defaultValue on Cancel.
AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt,
                    const AnsiString& defaultValue);
// True with the typed text in value on OK; false with value unchanged on Cancel.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);

// What a responder is shown.
enum class DialogKind { Message, Input, Exception };
struct DialogRequest {
  DialogKind kind = DialogKind::Message;
  AnsiString caption;
  AnsiString text;  // the message, or the input box's prompt
  TMsgDlgType type = mtInformation;
  std::vector<TMsgDlgBtn> buttons;
  AnsiString defaultValue;  // input boxes only
};
// Its answer: a modal result (mrOk/mrCancel for input boxes) and, for input boxes on mrOk,
// the typed text.
struct DialogAnswer {
  int modalResult = mrOk;
  AnsiString text;
};
using DialogResponder = std::function<DialogAnswer(const DialogRequest& request)>;

// Boxes that wait for the work that raised them. While a BoxesShownAfterWork lives, a message
// box whose only button is OK is not shown at once: MessageDlg gives mrOk (ShowMessage returns)
// and the box waits, in the order the boxes were raised, until the last such scope has ended. A
// box of the same kind, type, caption and text as one that still waits is not added again. Then
// the waiting boxes are shown one after another, each once the one before is answered, either
// when the scope ends (whenWorkEnds) or from the event loop once the code that made the scope
// has returned (backInEventLoop: a timer's tick, whose timer then goes on ticking while they are
// open). Boxes that work raises while waiting boxes are shown wait their turn behind them. A box
// that must be answered (more than one button, an input box) is always shown at once. So no
// piece of work stops in the middle for a box: it runs to its end, and its boxes come after.
class BoxesShownAfterWork {
 public:
  enum class Shown { whenWorkEnds, backInEventLoop };
  explicit BoxesShownAfterWork(Shown shown = Shown::whenWorkEnds);
  ~BoxesShownAfterWork();
  BoxesShownAfterWork(const BoxesShownAfterWork&) = delete;
  BoxesShownAfterWork& operator=(const BoxesShownAfterWork&) = delete;

 private:
  Shown shown_;
  int unwinding_;
};

// Installs the process-wide responder; an empty function goes back to real dialogs.
void SetDialogResponder(DialogResponder responder);

// The answer a box gets when nobody answers it (see above).
DialogAnswer DefaultDialogAnswer(const DialogRequest& request);
