#pragma once
// The basic Win32 types and constants that the stand-in functions of this layer take.
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using HANDLE = void*;
using HINSTANCE = void*;
using HMODULE = void*;
using HRESULT = std::int32_t;

struct HWND__;
using HWND = HWND__*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(-1);

inline constexpr DWORD MAX_PATH = 260;
