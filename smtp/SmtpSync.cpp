// TSyncSmtp: the blocking calls. Each runs its request and then sleeps on the thread's
// message queue (MsgWaitForMultipleObjects, at most a second at a time) and pumps, until the
// component is ready again, the deadline passes or the application is quitting.
#include <cstdint>

#include "smtp/SmtpProt.h"
#include "win32/ticks.h"
#include "win32/windows.h"

namespace {

// The wake mask of the wait: every kind of input (QS_ALLINPUT without QS_ALLPOSTMESSAGE).
constexpr DWORD kAnyInput = 0xFF;

}  // namespace

// The wait is counted in 64 bits from the differences of successive tick counts (at most a
// second or so apart, so each is right across the counter's wrap): any Timeout, up to the
// largest an Integer holds (68 years), is a time limit and none of them wraps.
template <class Mailer>
void TSyncSmtp<Mailer>::restartWait() {
  FLastTick = GetTickCount();
  FWaited = 0;
}

template <class Mailer>
bool TSyncSmtp<Mailer>::waitedTooLong() {
  const DWORD now = GetTickCount();
  FWaited += TicksElapsed(FLastTick, now);
  FLastTick = now;
  return Timeout > 0 && FWaited > std::int64_t{Timeout} * 1000;
}

template <class Mailer>
bool TSyncSmtp<Mailer>::Synchronize(void (TCustomSmtpClient::*Operation)()) {
  try {
    (this->*Operation)();
    return WaitUntilReady();
  } catch (const std::exception&) {
    return false;  // busy, not connected, no recipient, an unreadable attachment ...
  }
}

template <class Mailer>
bool TSyncSmtp<Mailer>::WaitUntilReady() {
  restartWait();
  for (;;) {
    if (this->FState == smtpReady) return this->FRequestResult == 0;
    const bool quitting =
        ApplicationTerminated() || (MultiThreaded && this->FWSocket->Terminated());
    if (waitedTooLong() || quitting) {
      this->Abort();
      this->FErrorMessage = "426 Timeout";
      this->FStatusCode = 426;
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, kAnyInput);
    if (MultiThreaded)
      this->FWSocket->ProcessMessages();
    else
      ApplicationProcessMessages();
  }
}

template <class Mailer>
void TSyncSmtp<Mailer>::TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) {
  Mailer::TriggerGetData(LineNum, MsgLine, MaxLen, More);
  // A long body does not time out while its lines are still being produced.
  if (Timeout > 0) restartWait();
}

template class TSyncSmtp<TSmtpCli>;
template class TSyncSmtp<THtmlSmtpCli>;
