#pragma once
// File services: copy, delete and directory enumeration with Win32 attribute bits.
//
// Attributes are derived from what Linux knows of an entry: a regular file is ARCHIVE, a
// directory is DIRECTORY, anything else (device, fifo, socket) is SYSTEM; a name beginning
// with "." adds HIDDEN, and an entry without any write permission bit (or one the process may
// not write) adds READONLY. So every entry lies inside the mask 63.
#include "win32/types.h"

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr DWORD FILE_ATTRIBUTE_VOLUME = 0x08;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr DWORD FILE_ATTRIBUTE_COMPRESSED = 0x800;

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  char cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

// Copies the bytes of lpExistingFileName to lpNewFileName (replacing it unless bFailIfExists,
// in which case an existing destination makes the copy fail). The destination is written
// under a temporary name and renamed into place, so a failed copy leaves the old file whole;
// as the system's own copy, it is not flushed to the disk before it returns.
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
// Deletes a file; a directory or a missing name fails.
BOOL DeleteFileA(LPCSTR lpFileName);

// Enumerates the folder of lpFileName (a folder part and a name pattern with "*" and "?",
// e.g. "<dir>/*.*"; "*.*" matches every name, with or without a dot). Names are matched
// case-sensitively, as Linux file names are; "." and ".." are not reported. Returns
// INVALID_HANDLE_VALUE when the folder cannot be read or nothing matches.
HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
// The next matching entry; FALSE when there is none left.
BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
// Ends an enumeration started by FindFirstFileA.
BOOL FindClose(HANDLE hFindFile);

// The attribute bits of one path (as reported by the enumeration), or 0xFFFFFFFF when it
// does not exist.
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
DWORD GetFileAttributesA(LPCSTR lpFileName);
