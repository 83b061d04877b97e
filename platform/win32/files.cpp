#include "win32/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "win32/paths.h"
#include "win32/replace_file.h"

namespace {

// The attribute bits of an entry whose status is known.
DWORD AttributesOf(const std::string& path, const std::string& name, const struct stat& info) {
  DWORD attributes = S_ISDIR(info.st_mode)   ? FILE_ATTRIBUTE_DIRECTORY
                     : S_ISREG(info.st_mode) ? FILE_ATTRIBUTE_ARCHIVE
                                             : FILE_ATTRIBUTE_SYSTEM;
  if (!name.empty() && name[0] == '.') attributes |= FILE_ATTRIBUTE_HIDDEN;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path.c_str(), W_OK) != 0)
    attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

// One enumeration: the open folder and the name pattern.
struct FindState {
  DIR* dir;
  std::string folder;
  std::string pattern;
};

bool NextMatch(FindState& state, WIN32_FIND_DATAA* data) {
  while (dirent* entry = readdir(state.dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (fnmatch(state.pattern.c_str(), name.c_str(), 0) != 0) continue;
    std::string path = state.folder + name;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) continue;  // vanished meanwhile, or a dangling link
    *data = WIN32_FIND_DATAA{};
    data->dwFileAttributes = AttributesOf(path, name, info);
    auto size = static_cast<std::uint64_t>(info.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    std::snprintf(data->cFileName, sizeof data->cFileName, "%s", name.c_str());
    return true;
  }
  return false;
}

}  // namespace

BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  if (!lpExistingFileName || !lpNewFileName) return FALSE;
  std::string source = NativePath(lpExistingFileName);
  std::string target = NativePath(lpNewFileName);
  if (bFailIfExists && access(target.c_str(), F_OK) == 0) return FALSE;
  int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return FALSE;
  struct stat info {};
  if (fstat(from, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(from);
    return FALSE;
  }
  // The copy appears whole, but is not flushed to the disk, as the system's own copy: what
  // this system copies are saved pages, which can be loaded again.
  FileReplacement copy(target, static_cast<int>(info.st_mode & 0777), false);
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || !copy.Write(std::string_view(buffer, static_cast<size_t>(got)))) {
      close(from);
      return got == 0 && copy.Commit(!bFailIfExists) ? TRUE : FALSE;
    }
  }
}

BOOL DeleteFileA(LPCSTR lpFileName) {
  if (!lpFileName) return FALSE;
  std::string path = NativePath(lpFileName);
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return FALSE;
  return unlink(path.c_str()) == 0 ? TRUE : FALSE;
}

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (!lpFileName || !lpFindFileData) return INVALID_HANDLE_VALUE;
  std::string path = NativePath(lpFileName);
  auto slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
  if (pattern == "*.*") pattern = "*";  // Win32: every name, dotted or not
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return INVALID_HANDLE_VALUE;
  auto* state = new FindState{dir, folder, pattern};
  if (!NextMatch(*state, lpFindFileData)) {
    closedir(dir);
    delete state;
    return INVALID_HANDLE_VALUE;
  }
  return state;
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  if (!hFindFile || hFindFile == INVALID_HANDLE_VALUE || !lpFindFileData) return FALSE;
  return NextMatch(*static_cast<FindState*>(hFindFile), lpFindFileData) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE hFindFile) {
  if (!hFindFile || hFindFile == INVALID_HANDLE_VALUE) return FALSE;
  auto* state = static_cast<FindState*>(hFindFile);
  closedir(state->dir);
  delete state;
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
  if (!lpFileName) return INVALID_FILE_ATTRIBUTES;
  std::string path = NativePath(lpFileName);
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
  auto slash = path.rfind('/');
  return AttributesOf(path, slash == std::string::npos ? path : path.substr(slash + 1), info);
}
