#pragma once
// Milliseconds since an arbitrary start, in 32 bits: the counter wraps after about 49.7 days,
// so two readings are compared as the elapsed time between them (TicksElapsed).
#include "win32/types.h"

DWORD GetTickCount();
// Time from `since` to `now`, correct across one wrap of the counter.
inline DWORD TicksElapsed(DWORD since, DWORD now) { return now - since; }
void Sleep(DWORD milliseconds);
