// TCustomSyncWSocket: the blocking wait that pumps messages, and ReadLine on top of it.
#include <algorithm>
#include <cstdint>

#include "netcomp/WSocket.h"
#include "win32/ticks.h"
#include "win32/windows.h"

namespace {
constexpr int kWaitTimedOut = 12001;
constexpr DWORD kLongestSleep = 1000;  // milliseconds between two looks at the flags
}  // namespace

int TCustomSyncWSocket::Synchronize(const std::function<void()>& Proc, bool& Done) {
  Done = false;
  if (Proc) Proc();
  return WaitUntilReady(Done);
}

int TCustomSyncWSocket::WaitUntilReady(bool& Done) {
  FTimeStop = GetTickCount() + static_cast<DWORD>(FTimeout);
  for (;;) {
    if (Done) return 0;
    // The difference as a signed number stays right across the wrap of the tick counter.
    if (FTimeout > 0 && static_cast<std::int32_t>(GetTickCount() - FTimeStop) > 0)
      return kWaitTimedOut;
    if (ApplicationTerminated() || FTerminated) return kWaitTimedOut;
    MessagePump();
    if (Done) continue;
    // Sleeps until input, a posted message or the time-out instead of spinning the processor.
    DWORD wait = kLongestSleep;
    if (FTimeout > 0) {
      const auto left = static_cast<std::int32_t>(FTimeStop - GetTickCount());
      wait = left < 0 ? 0 : std::min(wait, static_cast<DWORD>(left) + 1);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

// Several lines that arrive together are read one per call: the first one ends the wait and
// the others stay buffered for the next ReadLine (none is lost).
void TCustomSyncWSocket::ReadLine(int Timeout, AnsiString& Buffer) {
  Buffer = AnsiString();
  if (FState != wsConnected) {
    RaiseException("ReadLine failed: not connected");
    return;
  }
  FTimeout = Timeout == 0 ? 60000 : Timeout > 0 ? Timeout * 1000 : -Timeout;
  FLineReceivedFlag = false;
  struct Restore {
    TCustomSyncWSocket& s;
    TDataAvailable handler;
    bool lineMode;
    ~Restore() {
      s.OnDataAvailable = std::move(handler);
      s.FLineMode = lineMode;
      s.FLinePointer = nullptr;
      if (!lineMode) {
        s.FLineLength = 0;  // a line left on offer becomes plain buffered data
        s.FRescan = true;
      } else if (s.FRcvdCnt > 0) {
        PostMessageA(s.FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
      }
    }
  } restore{*this, OnDataAvailable, FLineMode};
  FLinePointer = &Buffer;
  FLineTaken = false;
  OnDataAvailable = [this](TObject*, WORD) { InternalDataAvailable(); };
  if (!FLineMode) FRescan = true;
  FLineMode = true;
  int result = Synchronize(
      [this] {
        if (FRcvdCnt > 0) OfferBufferedLines();
      },
      FLineReceivedFlag);
  if (result == kWaitTimedOut && FRcvdCnt > 0) Buffer = TakeBuffered();
}

void TCustomSyncWSocket::InternalDataAvailable() {
  if (FLineTaken || !FLinePointer) return;
  int length = FLineLength;
  if (length <= 0) return;
  std::string line(static_cast<std::size_t>(length), '\0');
  int got = Receive(line.data(), length);
  if (got <= 0) return;
  line.resize(static_cast<std::size_t>(got));
  *FLinePointer = AnsiString(std::move(line));
  FLineTaken = true;
}
