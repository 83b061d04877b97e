#pragma once
// Profile (ini) files. A bare file name lies in the Windows directory; a name with a folder
// part is taken as it stands. Values are read back exactly as they were written.
#include <string>

#include "win32/types.h"

// The folder that stands for the Windows directory: $TARNWICK_WINDIR when set, else
// $XDG_CONFIG_HOME/tarnwick (default ~/.config/tarnwick). Both programs use this rule.
std::string WindowsDirectory();

// Copies the value (or lpDefault when the key is absent) into the buffer, cut to nSize - 1
// bytes; returns the count of bytes copied.
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
// Writes the key (creating the file and section as needed); a null value writes it empty.
// The file is rewritten through a temporary file renamed over the old one.
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName);

// The same, as whole strings, for the class-library ini object; a failed write gives false
// with the reason in *error (when given), and the file stays as it was.
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback);
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value, std::string* error = nullptr);
