#pragma once
// Version information read from a program file.
//
// A program carries its version in an ELF section ".tarnwick_version" holding a magic text and
// the four 16-bit parts of the file version. The CMake function
// tarnwick_embed_version(<target> [MAJOR MINOR PATCH BUILD]) (EmbedVersion.cmake) puts it into
// an executable, with the project's version when no parts are given. A file without the
// section has no version information: the size query answers 0.
#include "win32/types.h"

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;  // major << 16 | minor
  DWORD dwFileVersionLS;  // patch << 16 | build
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};

// The size of the version information of the file, 0 when it has none. *lpdwHandle is set 0.
DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, DWORD* lpdwHandle);
// Copies the version information (dwLen bytes at most; at least the size query's answer is
// needed) into lpData.
BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
// Looks a value up in a block filled by GetFileVersionInfoA. Only the root "\" is known: it
// gives the VS_FIXEDFILEINFO.
BOOL VerQueryValueA(const void* pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen);

// The path of the running program for a null module (from /proc/self/exe), cut to nSize - 1
// bytes and terminated; returns the count of bytes copied, 0 for any other module.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
