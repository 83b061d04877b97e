#pragma once
// TTimer: OnTimer every Interval milliseconds while Enabled.
//
// Turning the timer off and on again restarts the countdown; setting another Interval (also
// inside OnTimer) restarts it with the new interval. A tick never runs while a tick of the
// same timer is still running (for example during a box inside OnTimer that must be answered):
// such ticks are dropped. A message box with only an OK button that a tick raises is shown once
// the tick has returned (see BoxesShownAfterWork), so the timer goes on ticking while it is
// open.
#include <memory>

#include "lib/Classes.h"

class QTimer;

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned interval);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  TNotifyEvent OnTimer;

 private:
  void update();
  void tick();

  std::unique_ptr<QTimer> timer_;
  unsigned interval_ = 1000;
  bool enabled_ = true;
  bool ticking_ = false;
};
