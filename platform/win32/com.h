#pragma once
// COM and OLE start-up. Nothing here needs COM; the calls keep the programs' start-up and
// shutdown order and answer as Win32 does: S_OK for the first initialisation of a thread,
// S_FALSE for each further one, every call counted until the matching uninitialisation.
#include "win32/types.h"

HRESULT CoInitialize(LPVOID pvReserved);
void CoUninitialize();
HRESULT OleInitialize(LPVOID pvReserved);
void OleUninitialize();
