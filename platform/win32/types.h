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

// Window messages and their parameters (pointer-wide, as on 64-bit Windows).
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ATOM = WORD;
using HICON = void*;
using HCURSOR = void*;
using HBRUSH = void*;
using HMENU = void*;
using FARPROC = void (*)();
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
};

inline constexpr WORD LOWORD(LPARAM value) { return static_cast<WORD>(value & 0xFFFF); }
inline constexpr WORD HIWORD(LPARAM value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
inline constexpr LPARAM MAKELONG(WORD low, WORD high) {
  return static_cast<LPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
