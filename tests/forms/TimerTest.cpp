#include <QElapsedTimer>
#include <string>
#include <vector>

#include "FormsTestSupport.h"
#include "forms/Dialogs.h"
#include "forms/Timer.h"

namespace {

using TimerTest = FormsTest;

TEST_F(TimerTest, TicksNeverReenterWhileAHandlerWaitsInANestedLoop) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  int depth = 0, deepest = 0, ticks = 0;
  timer.OnTimer = [&](TObject*) {
    ++depth;
    deepest = std::max(deepest, depth);
    ++ticks;
    if (ticks == 1) spin(120);  // as a message box inside a tick would
    --depth;
  };
  QElapsedTimer clock;
  clock.start();
  while (ticks < 3 && clock.elapsed() < 5000) spin(5);
  EXPECT_GE(ticks, 3);
  EXPECT_EQ(deepest, 1);
}

// A box left open must not stop the timer: the box a tick raises is shown once the tick has
// returned, and the timer ticks on while it is open.
TEST_F(TimerTest, ABoxATickRaisesIsShownAfterTheTickAndTheTimerTicksOnWhileItIsOpen) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  int ticks = 0, ticksWhileOpen = -1;
  bool inTick = false, shownInTick = false;
  timer.OnTimer = [&](TObject*) {
    inTick = true;
    if (++ticks == 1)
      MessageDlg("Sniper not launched for auction 7: tnsnip.exe not found", mtError, {mbOK});
    inTick = false;
  };
  SetDialogResponder([&](const DialogRequest& request) {
    shownInTick = inTick;
    const int before = ticks;
    spin(150);  // nobody answers it for a while
    ticksWhileOpen = ticks - before;
    return DefaultDialogAnswer(request);
  });
  QElapsedTimer clock;
  clock.start();
  while (ticksWhileOpen < 0 && clock.elapsed() < 5000) spin(5);
  EXPECT_FALSE(shownInTick);
  EXPECT_GE(ticksWhileOpen, 3);
}

// The boxes of one tick keep their order; a box that must be answered is asked inside the tick,
// its answer given back; boxes that later ticks raise while one is open wait their turn behind
// it, each text once while it waits.
TEST_F(TimerTest, BoxesOfLaterTicksWaitTheirTurnAndABoxThatMustBeAnsweredIsAskedAtOnce) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  int ticks = 0, answer = mrNone;
  timer.OnTimer = [&](TObject*) {
    ++ticks;
    if (ticks == 1) {
      MessageDlg("first", mtError, {mbOK});
      answer = MessageDlg("retry?", mtError, {mbAbort, mbRetry});
      ShowMessage("second");
    } else if (ticks <= 3) {
      MessageDlg("later", mtWarning, {mbOK});
    }
  };
  std::vector<std::string> seen;
  bool open = false, stacked = false;
  SetDialogResponder([&](const DialogRequest& request) {
    stacked = stacked || (open && request.buttons.size() == 1);
    seen.push_back(request.text.str());
    if (request.text == "retry?") return DialogAnswer{mrRetry, {}};
    open = true;
    if (request.text == "first") spin(150);
    open = false;
    return DefaultDialogAnswer(request);
  });
  QElapsedTimer clock;
  clock.start();
  while (seen.size() < 4 && clock.elapsed() < 5000) spin(5);
  spin(50);
  EXPECT_EQ(answer, mrRetry);
  EXPECT_EQ(seen, (std::vector<std::string>{"retry?", "first", "second", "later"}));
  EXPECT_FALSE(stacked);
}

TEST_F(TimerTest, AnIntervalSetInsideOnTimerTakesEffectForTheNextTick) {
  TTimer timer(nullptr);
  timer.SetInterval(20);
  QElapsedTimer clock;
  qint64 firstTick = -1, secondTick = -1;
  timer.OnTimer = [&](TObject*) {
    if (firstTick < 0) {
      firstTick = clock.elapsed();
      timer.SetInterval(300);
    } else if (secondTick < 0) {
      secondTick = clock.elapsed();
      timer.SetEnabled(false);
    }
  };
  clock.start();
  while (secondTick < 0 && clock.elapsed() < 5000) spin(5);
  ASSERT_GE(secondTick, 0);
  EXPECT_GE(secondTick - firstTick, 250);
}

TEST_F(TimerTest, TurningTheTimerOffAndOnRestartsTheCountdown) {
  TTimer timer(nullptr);
  timer.SetInterval(300);
  QElapsedTimer clock;
  qint64 tick = -1;
  timer.OnTimer = [&](TObject*) {
    if (tick < 0) tick = clock.elapsed();
  };
  clock.start();
  spin(200);
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  while (tick < 0 && clock.elapsed() < 5000) spin(5);
  ASSERT_GE(tick, 0);
  EXPECT_GE(tick, 450);
}

TEST_F(TimerTest, ADisabledTimerDoesNotTick) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  timer.SetEnabled(false);
  int ticks = 0;
  timer.OnTimer = [&](TObject*) { ++ticks; };
  spin(80);
  EXPECT_EQ(ticks, 0);
}

}  // namespace
