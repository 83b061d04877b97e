#pragma once
// The shell's "open" verb.
//
// An executable with exactly the given name (in the starting folder, or on PATH for a bare
// name) is started as a detached process in its own session, with the parameters (split at
// blanks; the programs pass none) and in lpDirectory, or in the current directory when that is
// null or empty. It is never a child to reap. A name that is neither a URL nor a file that is
// there gives 2 (file not found) at once and starts nothing. Anything else (URLs, documents
// such as a help file) is handed to the desktop opener: the program named by $TARNWICK_OPENER when
// set (tests use a recorder), else xdg-open, started the same way with the target as its one
// argument.
//
// Returns a value above 32 when the process was started, as Win32 does, else an error code
// of 32 or below (2 file not found, 31 no association). Callers may ignore it.
#include "win32/types.h"

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWDEFAULT = 10;

inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_NOASSOC = 31;

HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                        LPCSTR lpDirectory, int nShowCmd);
