#include "TempWorkingDir.h"
#include "win32/version.h"

namespace {

// The file version of a program as the portal's About page shows it, or "Unknown version".
std::string VersionCaption(const std::string& file) {
  DWORD handle = 1;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
  EXPECT_EQ(handle, 0u);
  if (size == 0) return "Unknown version";
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return "Unknown version";
  LPVOID value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &length)) return "Unknown version";
  EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
  return "Version " + std::to_string(fixed->dwFileVersionMS >> 16) + "." +
         std::to_string(fixed->dwFileVersionMS & 0xFFFF) + "." +
         std::to_string(fixed->dwFileVersionLS >> 16) + "." +
         std::to_string(fixed->dwFileVersionLS & 0xFFFF);
}

std::string ProgramFile() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length);
}

}  // namespace

using VersionInformation = TempWorkingDir;
using VersionInformationAbsent = TempWorkingDir;

TEST_F(VersionInformation, ProgramFileCarriesTheEmbeddedVersion) {
  EXPECT_EQ(ProgramFile(), std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(VersionCaption(ProgramFile()), "Version 1.1.0.181");
  EXPECT_EQ(VersionCaption(CAPTION_HOLDER), "Version 2.300.4.65535");  // all 16 bits of a part
}

TEST_F(VersionInformationAbsent, FilesWithoutABlockHaveNoVersionInformation) {
  WriteFile("page.htm", "<html>TARNWICK-VERSION</html>");
  WriteFile("empty", "");
  for (const std::string& file : {std::string(ARGV_RECORDER), std::string("page.htm"),
                                  std::string("empty"), std::string("missing.exe")})
    EXPECT_EQ(VersionCaption(file), "Unknown version") << file;
}

TEST_F(VersionInformation, OnlyTheRootValueIsKnownAndBuffersAreChecked) {
  std::string self = ProgramFile();
  DWORD size = GetFileVersionInfoSizeA(self.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  EXPECT_FALSE(GetFileVersionInfoA(self.c_str(), 0, size - 1, block.data()));
  ASSERT_TRUE(GetFileVersionInfoA(self.c_str(), 0, size, block.data()));
  LPVOID value = nullptr;
  UINT length = 0;
  EXPECT_FALSE(
      VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileVersion", &value, &length));
  std::vector<char> zeroes(size);
  EXPECT_FALSE(VerQueryValueA(zeroes.data(), "\\", &value, &length));
}

TEST_F(VersionInformation, ModuleFileNameIsCutToTheBuffer) {
  char small[5];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 4u);
  EXPECT_EQ(std::string(small), ProgramFile().substr(0, 4));
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(1), small, sizeof small), 0u);
}
