#include <QElapsedTimer>

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
