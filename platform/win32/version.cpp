#include "win32/version.h"

#include <elf.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "win32/paths.h"

namespace {

// The block as it lies in the section (written by EmbedVersion.cmake).
struct TarnwickVersionBlock {
  char magic[16];  // "TARNWICK-VERSION", without a terminator
  std::uint16_t parts[4];
};

constexpr char kSectionName[] = ".tarnwick_version";
constexpr char kMagic[] = "TARNWICK-VERSION";

// What GetFileVersionInfoA fills: a tag and the fixed file information.
struct VersionInfo {
  char tag[16];
  VS_FIXEDFILEINFO fixed;
};

template <typename T>
bool ReadAt(std::ifstream& file, std::uint64_t offset, T& value) {
  file.seekg(static_cast<std::streamoff>(offset));
  return static_cast<bool>(file.read(reinterpret_cast<char*>(&value), sizeof value));
}

// The version block from the section of a 64-bit little-endian ELF file, if it has one.
std::optional<TarnwickVersionBlock> ReadVersionBlock(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  Elf64_Ehdr header{};
  if (!file || !ReadAt(file, 0, header)) return std::nullopt;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_ident[EI_DATA] != ELFDATA2LSB || header.e_shentsize != sizeof(Elf64_Shdr) ||
      header.e_shstrndx >= header.e_shnum)
    return std::nullopt;
  Elf64_Shdr names{};
  if (!ReadAt(file, header.e_shoff + std::uint64_t{header.e_shstrndx} * sizeof(Elf64_Shdr), names))
    return std::nullopt;
  for (unsigned index = 0; index < header.e_shnum; ++index) {
    Elf64_Shdr section{};
    if (!ReadAt(file, header.e_shoff + std::uint64_t{index} * sizeof(Elf64_Shdr), section))
      return std::nullopt;
    char name[sizeof kSectionName] = {};
    if (section.sh_name >= names.sh_size ||
        !ReadAt(file, names.sh_offset + section.sh_name, name) ||
        std::memcmp(name, kSectionName, sizeof kSectionName) != 0)
      continue;
    TarnwickVersionBlock block{};
    if (section.sh_size < sizeof block || !ReadAt(file, section.sh_offset, block) ||
        std::memcmp(block.magic, kMagic, sizeof block.magic) != 0)
      return std::nullopt;
    return block;
  }
  return std::nullopt;
}

VersionInfo InfoOf(const TarnwickVersionBlock& block) {
  VersionInfo info{};
  std::memcpy(info.tag, kMagic, sizeof info.tag);
  info.fixed.dwSignature = VS_FFI_SIGNATURE;
  info.fixed.dwStrucVersion = 0x00010000;
  info.fixed.dwFileVersionMS = DWORD{block.parts[0]} << 16 | block.parts[1];
  info.fixed.dwFileVersionLS = DWORD{block.parts[2]} << 16 | block.parts[3];
  info.fixed.dwProductVersionMS = info.fixed.dwFileVersionMS;
  info.fixed.dwProductVersionLS = info.fixed.dwFileVersionLS;
  info.fixed.dwFileType = 1;  // an application
  return info;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR lptstrFilename, DWORD* lpdwHandle) {
  if (lpdwHandle) *lpdwHandle = 0;
  if (!lptstrFilename) return 0;
  return ReadVersionBlock(NativePath(lptstrFilename)) ? sizeof(VersionInfo) : 0;
}

BOOL GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD /*dwHandle*/, DWORD dwLen, LPVOID lpData) {
  if (!lptstrFilename || !lpData || dwLen < sizeof(VersionInfo)) return FALSE;
  auto block = ReadVersionBlock(NativePath(lptstrFilename));
  if (!block) return FALSE;
  VersionInfo info = InfoOf(*block);
  std::memcpy(lpData, &info, sizeof info);
  return TRUE;
}

BOOL VerQueryValueA(const void* pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen) {
  if (!pBlock || !lpSubBlock || !lplpBuffer || std::strcmp(lpSubBlock, "\\") != 0) return FALSE;
  auto* info = static_cast<const VersionInfo*>(pBlock);
  if (std::memcmp(info->tag, kMagic, sizeof info->tag) != 0) return FALSE;
  *lplpBuffer = const_cast<VS_FIXEDFILEINFO*>(&info->fixed);
  if (puLen) *puLen = sizeof(VS_FIXEDFILEINFO);
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule || !lpFilename || nSize == 0) return 0;
  std::vector<char> path(4096);
  ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0) return 0;
  auto copied = static_cast<DWORD>(length) < nSize ? static_cast<DWORD>(length) : nSize - 1;
  std::memcpy(lpFilename, path.data(), copied);
  lpFilename[copied] = '\0';
  return copied;
}
