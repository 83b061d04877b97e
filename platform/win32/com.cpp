#include "win32/com.h"

namespace {
// Initialisations of the calling thread not yet undone.
thread_local int comInitialisations = 0;
}  // namespace

HRESULT CoInitialize(LPVOID /*pvReserved*/) { return comInitialisations++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (comInitialisations > 0) --comInitialisations;
}

HRESULT OleInitialize(LPVOID pvReserved) { return CoInitialize(pvReserved); }

void OleUninitialize() { CoUninitialize(); }
