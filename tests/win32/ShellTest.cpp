#include <sys/wait.h>

#include <cerrno>

#include "TempWorkingDir.h"
#include "WaitFor.h"
#include "win32/shell.h"

namespace {

bool Started(HINSTANCE result) { return reinterpret_cast<std::intptr_t>(result) > 32; }

class ShellOpen : public TempWorkingDir {
 protected:
  void SetUp() override {
    TempWorkingDir::SetUp();
    const char* opener = std::getenv("TARNWICK_OPENER");
    savedOpener_ = opener ? opener : "";
    hadOpener_ = opener != nullptr;
  }
  void TearDown() override {
    if (hadOpener_)
      setenv("TARNWICK_OPENER", savedOpener_.c_str(), 1);
    else
      unsetenv("TARNWICK_OPENER");
    TempWorkingDir::TearDown();
  }
  // Installs the recording program under the name in the folder.
  static void InstallRecorder(const std::filesystem::path& path) {
    std::filesystem::copy_file(ARGV_RECORDER, path);
  }
  // What the recorder wrote in the folder, once it has run.
  static std::string Record(const std::filesystem::path& folder) {
    auto file = folder / "started.txt";
    if (!WaitFor([&] { return std::filesystem::exists(file); })) return "(never started)";
    return ReadFile(file);
  }

 private:
  std::string savedOpener_;
  bool hadOpener_ = false;
};

}  // namespace

TEST_F(ShellOpen, ExecutableOfTheWorkingDirectoryStartsDetachedWithoutArgumentsThere) {
  InstallRecorder(work() / "tnsnip.exe");
  EXPECT_TRUE(
      Started(ShellExecuteA(nullptr, "open", "tnsnip.exe", nullptr, nullptr, SW_SHOWNORMAL)));
  EXPECT_EQ(Record(work()), "argc=1\ncwd=" + work().string() + "\nown_session=1\n");
  // The program was never our child: there is nothing to reap.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(ShellOpen, NamesWithoutAnExeExtensionStartTheSameWay) {
  InstallRecorder(work() / "rerav.iru");
  EXPECT_TRUE(
      Started(ShellExecuteA(nullptr, "open", "rerav.iru", nullptr, nullptr, SW_SHOWNORMAL)));
  EXPECT_EQ(Record(work()), "argc=1\ncwd=" + work().string() + "\nown_session=1\n");
}

TEST_F(ShellOpen, GivenDirectoryBecomesTheProgramsWorkingDirectory) {
  std::filesystem::create_directory("elsewhere");
  InstallRecorder(work() / "elsewhere" / "wakebell.exe");
  EXPECT_TRUE(Started(ShellExecuteA(nullptr, "open", "wakebell.exe", nullptr,
                                    (work() / "elsewhere").c_str(), SW_SHOWNORMAL)));
  EXPECT_EQ(Record(work() / "elsewhere"),
            "argc=1\ncwd=" + (work() / "elsewhere").string() + "\nown_session=1\n");
}

TEST_F(ShellOpen, UrlsAndDocumentsGoToTheOpener) {
  setenv("TARNWICK_OPENER", ARGV_RECORDER, 1);
  const std::string url = "http://127.0.0.1:8080/ws/eBayISAPI.dll?ViewItem&item=123";
  EXPECT_TRUE(
      Started(ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)));
  EXPECT_EQ(Record(work()),
            "argc=2\narg=" + url + "\ncwd=" + work().string() + "\nown_session=1\n");
  std::filesystem::remove("started.txt");
  // A document, and a file that has a program's name but may not be executed.
  for (const char* name : {"tarnwick.hlp", "sandglass.exe"}) {
    WriteFile(name, "not a program");
    EXPECT_TRUE(Started(ShellExecuteA(nullptr, "open", name, nullptr, nullptr, SW_SHOWDEFAULT)));
    EXPECT_EQ(Record(work()), "argc=2\narg=" + std::string(name) + "\ncwd=" + work().string() +
                                  "\nown_session=1\n");
    std::filesystem::remove("started.txt");
  }
}

TEST_F(ShellOpen, FailuresAreReportedAsSmallCodesWithoutStartingAnything) {
  setenv("TARNWICK_OPENER", (work() / "no-such-opener").c_str(), 1);
  InstallRecorder(work() / "tnsnip.exe");
  EXPECT_FALSE(Started(ShellExecuteA(nullptr, "open", "http://127.0.0.1/", nullptr, nullptr, 1)));
  EXPECT_FALSE(Started(ShellExecuteA(nullptr, "print", "tnsnip.exe", nullptr, nullptr, 1)));
  EXPECT_FALSE(Started(ShellExecuteA(nullptr, "open", "", nullptr, nullptr, 1)));
  EXPECT_FALSE(Started(ShellExecuteA(nullptr, "open", "tnsnip.exe", nullptr, "no-such-dir", 1)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(std::filesystem::exists("started.txt"));
}

// A file that is not there is not found, as the system's shell says, and never reaches the
// opener: the caller learns at once that nothing was started.
TEST_F(ShellOpen, AMissingFileIsNotFoundAndReachesNoOpener) {
  setenv("TARNWICK_OPENER", ARGV_RECORDER, 1);
  for (const char* name : {"no-sniper.exe", "no-help.hlp", "folder/no-file.txt"})
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(
                  ShellExecuteA(nullptr, "open", name, nullptr, nullptr, SW_SHOWNORMAL)),
              SE_ERR_FNF)
        << name;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(std::filesystem::exists("started.txt"));
}
