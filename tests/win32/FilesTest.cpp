#include <sys/stat.h>

#include <map>

#include "TempWorkingDir.h"
#include "win32/files.h"

using FileServices = TempWorkingDir;

TEST_F(FileServices, CopyReplacesAnExistingDestinationWithTheExactBytes) {
  const std::string bytes = std::string("<b>US $12.50\xA0</b>\r\n\0tail", 24);
  WriteFile("src.tmp", bytes);
  WriteFile("dst.tnw", "an older and longer page that must disappear");
  EXPECT_TRUE(CopyFileA((work() / "src.tmp").c_str(), (work() / "dst.tnw").c_str(), FALSE));
  EXPECT_EQ(ReadFile("dst.tnw"), bytes);
}

TEST_F(FileServices, CopyAcceptsBackslashSeparators) {
  WriteFile("src.tmp", "page");
  std::string from = work().string() + "\\src.tmp";
  std::string to = work().string() + "\\123.tnw";
  EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE));
  EXPECT_EQ(ReadFile("123.tnw"), "page");
}

TEST_F(FileServices, FailedCopiesLeaveTheDestinationAlone) {
  WriteFile("src.tmp", "new");
  WriteFile("dst.tnw", "old");
  EXPECT_FALSE(CopyFileA("src.tmp", "dst.tnw", TRUE));  // must not replace
  EXPECT_FALSE(CopyFileA("missing.tmp", "dst.tnw", FALSE));
  EXPECT_EQ(ReadFile("dst.tnw"), "old");
  EXPECT_TRUE(CopyFileA("src.tmp", "fresh.tnw", TRUE));
  EXPECT_EQ(ReadFile("fresh.tnw"), "new");
  // No temporary file is left behind by any of them.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work()), {}), 3);
}

TEST_F(FileServices, DeleteRemovesFilesOnly) {
  WriteFile("BID.TDL", "x");
  std::filesystem::create_directory("folder");
  EXPECT_TRUE(DeleteFileA("BID.TDL"));
  EXPECT_FALSE(std::filesystem::exists("BID.TDL"));
  EXPECT_FALSE(DeleteFileA("BID.TDL"));
  EXPECT_FALSE(DeleteFileA("folder"));
  EXPECT_TRUE(std::filesystem::is_directory("folder"));
}

namespace {
std::map<std::string, DWORD> Enumerate(const std::string& pattern) {
  std::map<std::string, DWORD> found;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do found[data.cFileName] = data.dwFileAttributes;
  while (FindNextFileA(find, &data));
  EXPECT_TRUE(FindClose(find));
  return found;
}
}  // namespace

TEST_F(FileServices, EnumerationReportsEveryEntryWithAttributesInsideMask63) {
  WriteFile("BID.TDL", "1");
  WriteFile("cancIND.TDL", "2");
  WriteFile("noextension", "3");
  WriteFile(".hidden", "4");
  WriteFile("readonly.txt", "5");
  chmod("readonly.txt", 0444);
  std::filesystem::create_directory("folder");
  const std::map<std::string, DWORD> expected = {
      {"BID.TDL", FILE_ATTRIBUTE_ARCHIVE},
      {"cancIND.TDL", FILE_ATTRIBUTE_ARCHIVE},
      {"noextension", FILE_ATTRIBUTE_ARCHIVE},
      {".hidden", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN},
      {"readonly.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
      {"folder", FILE_ATTRIBUTE_DIRECTORY},
  };
  EXPECT_EQ(Enumerate(work().string() + "/*.*"), expected);
  EXPECT_EQ(Enumerate(work().string() + "\\*.*"), expected);
  for (const auto& [name, attributes] : expected) {
    EXPECT_EQ(attributes & ~DWORD{63}, 0u) << name;
    EXPECT_EQ(GetFileAttributesA((work().string() + "\\" + name).c_str()), attributes) << name;
  }
  EXPECT_EQ(GetFileAttributesA("missing"), INVALID_FILE_ATTRIBUTES);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("*.TDL", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 1u);
  FindClose(find);
}

TEST_F(FileServices, PatternsMatchNamesCaseSensitively) {
  WriteFile("BID.TDL", "1");
  WriteFile("bid.tdl", "2");
  WriteFile("123.tnw", "3");
  EXPECT_EQ(Enumerate("*.TDL"),
            (std::map<std::string, DWORD>{{"BID.TDL", FILE_ATTRIBUTE_ARCHIVE}}));
  EXPECT_EQ(Enumerate("1?3.tnw").size(), 1u);
}

TEST_F(FileServices, EnumerationOfAnEmptyOrMissingFolderGivesInvalidHandle) {
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA((work().string() + "/*.*").c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA("no-such-folder/*.*", &data), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}
