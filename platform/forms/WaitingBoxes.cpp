// The boxes that wait for the work that raised them (BoxesShownAfterWork in Dialogs.h).
#include <QCoreApplication>
#include <QMetaObject>
#include <deque>
#include <exception>

#include "forms/Application.h"
#include "forms/DialogBox.h"
#include "forms/Dialogs.h"

namespace {

struct WaitingBoxes {
  int scopes = 0;        // BoxesShownAfterWork alive
  bool showing = false;  // the waiting boxes are being shown
  bool posted = false;   // a showing is on its way through the event loop
  std::deque<DialogRequest> boxes;
};

WaitingBoxes& waiting() {
  static WaitingBoxes state;
  return state;
}

bool sameBox(const DialogRequest& a, const DialogRequest& b) {
  return a.kind == b.kind && a.type == b.type && a.caption == b.caption && a.text == b.text;
}

// Shows every waiting box, one after another. Work that runs inside a box's nested loop adds
// its own boxes behind; a showing already under way takes them.
void showWaitingBoxes() {
  WaitingBoxes& state = waiting();
  if (state.showing || state.scopes > 0) return;
  state.showing = true;
  while (!state.boxes.empty()) {
    const DialogRequest request = state.boxes.front();
    state.boxes.pop_front();
    TApplication::RunGuarded(nullptr, [&request] { ShowDialog(request); });
  }
  state.showing = false;
}

void showWaitingBoxesFromTheEventLoop() {
  WaitingBoxes& state = waiting();
  if (state.posted) return;
  state.posted = true;
  TApplication::EnsureQt();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [] {
        waiting().posted = false;
        showWaitingBoxes();
      },
      Qt::QueuedConnection);
}

}  // namespace

bool WaitsForWork(const DialogRequest& request) {
  WaitingBoxes& state = waiting();
  if (state.scopes == 0 || request.kind != DialogKind::Message ||
      request.buttons != std::vector<TMsgDlgBtn>{mbOK})
    return false;
  for (const DialogRequest& box : state.boxes)
    if (sameBox(box, request)) return true;
  state.boxes.push_back(request);
  return true;
}

BoxesShownAfterWork::BoxesShownAfterWork(Shown shown)
    : shown_(shown), unwinding_(std::uncaught_exceptions()) {
  ++waiting().scopes;
}

BoxesShownAfterWork::~BoxesShownAfterWork() {
  WaitingBoxes& state = waiting();
  if (--state.scopes > 0 || state.boxes.empty()) return;
  // A failure on its way out must not wait in a box's loop: the boxes come once it has passed.
  if (shown_ == Shown::backInEventLoop || std::uncaught_exceptions() > unwinding_)
    showWaitingBoxesFromTheEventLoop();
  else
    showWaitingBoxes();
}
