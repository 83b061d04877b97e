#include "portal/VersionCaption.h"

#include <vector>

#include "win32/version.h"

AnsiString versionCaptionOf(const AnsiString& programFile) {
  const AnsiString unknown = "Unknown version";
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(programFile.c_str(), &handle);
  if (size == 0) return unknown;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(programFile.c_str(), handle, size, block.data())) return unknown;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length) || !value ||
      length < sizeof(VS_FIXEDFILEINFO))
    return unknown;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
  const auto part = [](DWORD half, int shift) {
    return AnsiString(static_cast<int>((half >> shift) & 0xFFFF));
  };
  return "Version " + part(info->dwFileVersionMS, 16) + "." + part(info->dwFileVersionMS, 0) + "." +
         part(info->dwFileVersionLS, 16) + "." + part(info->dwFileVersionLS, 0);
}

AnsiString runningProgramVersionCaption() {
  std::vector<char> path(4096);
  GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return versionCaptionOf(path.data());
}
