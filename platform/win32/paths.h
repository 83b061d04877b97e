#pragma once
// Win32 path texts on Linux: the programs may join names with "\" as Windows does; the file
// services of this layer accept both separators.
#include <string>

#include "win32/types.h"

// The path with every "\" turned into "/"; a null path gives the empty text.
std::string NativePath(LPCSTR path);
