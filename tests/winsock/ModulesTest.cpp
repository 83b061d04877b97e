// The module registry behind LoadLibraryA and GetProcAddress.
#include <gtest/gtest.h>

#include "win32/critical_section.h"
#include "win32/modules.h"

namespace {
int answer() { return 42; }
}  // namespace

TEST(Modules, KnownModulesLoadByNameAndGiveTheirEntryPoints) {
  RegisterModuleA("test_module.dll", {{"answer", reinterpret_cast<FARPROC>(&answer)}});
  HMODULE module = LoadLibraryA("TEST_MODULE.DLL");
  ASSERT_NE(module, nullptr);
  auto fn = reinterpret_cast<int (*)()>(GetProcAddress(module, "answer"));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), 42);
  EXPECT_EQ(GetProcAddress(module, "missing"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module));
  UnregisterModuleA("test_module.dll");
}

TEST(Modules, AnUnknownModuleFailsWithModuleNotFound) {
  EXPECT_EQ(LoadLibraryA("nowhere.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(CriticalSections, AreReentrant) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  {
    CriticalSectionLock outer(section);
    CriticalSectionLock inner(section);
  }
  DeleteCriticalSection(&section);
  SUCCEED();
}
