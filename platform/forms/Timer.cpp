#include "forms/Timer.h"

#include <QTimer>

#include "forms/Application.h"
#include "forms/Dialogs.h"

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  TApplication::EnsureQt();
  timer_ = std::make_unique<QTimer>();
  QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { tick(); });
  update();
}

TTimer::~TTimer() = default;

void TTimer::SetInterval(unsigned interval) {
  if (interval == interval_) return;
  interval_ = interval;
  update();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  update();
}

// Stops and, when it should run, starts the countdown afresh.
void TTimer::update() {
  timer_->stop();
  if (enabled_ && interval_ > 0) timer_->start(static_cast<int>(interval_));
}

void TTimer::tick() {
  if (ticking_ || !OnTimer) return;
  // Qt delivers no timeout of this timer while its handler runs, so a box shown inside the
  // handler would stop the timer until it is answered: the tick's boxes are shown from the event
  // loop once it has returned, and the timer goes on ticking while they are open.
  const BoxesShownAfterWork boxes(BoxesShownAfterWork::Shown::backInEventLoop);
  ticking_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{ticking_};
  TNotifyEvent handler = OnTimer;
  TApplication::RunGuarded(this, [&] { handler(this); });
}
