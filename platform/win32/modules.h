#pragma once
// Modules known by name: LoadLibraryA finds a registered module ("wsock32.dll", ...), and
// GetProcAddress finds its entry points by name. GetLastError tells why a call failed.
#include <map>
#include <string>

#include "win32/types.h"

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;

// Entry points of a module, by name.
using ModuleEntryPoints = std::map<std::string, FARPROC>;

// Makes a module known to LoadLibraryA under its name (matched without regard to case). A
// module registered again under the same name replaces the earlier one for later loads;
// handles already loaded keep the entry points they had.
void RegisterModuleA(LPCSTR name, ModuleEntryPoints entryPoints);
void UnregisterModuleA(LPCSTR name);

HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

DWORD GetLastError();
void SetLastError(DWORD errorCode);
