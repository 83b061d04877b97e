// Saving a user's file replaces it whole: a child process that runs out of room (a small file
// size limit, the stand-in for a full disk) or is killed in the middle of its saves leaves the
// old file or the new one, never a part, and a failed save leaves no temporary file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "TempDirs.h"
#include "lib/Exceptions.h"
#include "lib/IniFile.h"
#include "lib/StringList.h"
#include "win32/replace_file.h"

namespace fs = std::filesystem;

namespace {

class WholeSave : public TempDirs {
 protected:
  // The names in the folder of file that hold its name: the file and any temporary of it.
  static std::vector<std::string> namesLike(const fs::path& file) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(file.parent_path()))
      if (entry.path().filename().string().find(file.filename().string()) != std::string::npos)
        names.push_back(entry.path().filename());
    return names;
  }
  // Runs work in a child process and gives its exit code (-signal when a signal ended it).
  static int inChild(const std::function<int()>& work, rlim_t fileSizeLimit = RLIM_INFINITY) {
    const pid_t child = fork();
    if (child == 0) {
      if (fileSizeLimit != RLIM_INFINITY) {
        // Past the limit a write fails with EFBIG, as on a full disk, instead of a signal.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      _exit(work());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
};

// A watch list of `rows` nine-line records, each line marked with its row and the mark.
TStringList watchList(int rows, char mark) {
  TStringList list;
  for (int row = 0; row < rows; ++row)
    for (int line = 0; line < 9; ++line)
      list.Add(std::to_string(row) + ":" + std::to_string(line) + std::string(24, mark));
  return list;
}

TEST_F(WholeSave, SaveThatRunsOutOfRoomKeepsTheOldFileAndLeavesNoTemporary) {
  struct Case {
    const char* name;
    std::function<void()> oldSave;
    std::function<void()> bigSave;
  };
  const std::vector<Case> cases = {
      {"lvshowall.txt", [] { watchList(500, 'a').SaveToFile("lvshowall.txt"); },
       [] { watchList(900, 'b').SaveToFile("lvshowall.txt"); }},
      {"tarnwick.ini",
       [] {
         TIniFile("tarnwick.ini").WriteString("prefs", "edtEbayMember", std::string(3000, 'm'));
       },
       [] {
         TIniFile("tarnwick.ini").WriteString("prefs", "edtEbayPass", std::string(9000, 'p'));
       }},
  };
  for (const Case& c : cases) {
    c.oldSave();
    const fs::path file = dir_ / (c.name == std::string("tarnwick.ini") ? "windows/" : "") / c.name;
    const std::string old = bytesOf(file);
    ASSERT_FALSE(old.empty());
    const int outcome = inChild(
        [&c] {
          try {
            c.bigSave();
          } catch (const Exception& E) {
            return E.Message().IsEmpty() ? 2 : 0;
          }
          return 1;
        },
        old.size() + 1000);
    EXPECT_EQ(outcome, 0) << c.name << ": the failed save is reported with its reason";
    EXPECT_EQ(bytesOf(file), old) << c.name;
    EXPECT_EQ(namesLike(file), std::vector<std::string>{c.name});
    fs::remove(file);
  }
}

TEST_F(WholeSave, KillInTheMiddleOfSavesLeavesTheOldOrTheNewFileWhole) {
  const std::string first = watchList(20000, 'a').Text().str();
  const std::string second = watchList(20000, 'b').Text().str();
  for (int kill = 0; kill < 5; ++kill) {
    watchList(20000, 'a').SaveToFile("lvshowall.txt");
    const pid_t child = fork();
    if (child == 0) {
      for (int save = 0;; ++save)
        watchList(20000, save % 2 ? 'a' : 'b').SaveToFile("lvshowall.txt");
    }
    usleep(static_cast<useconds_t>(150000 + kill * 37000));
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string left = bytesOf(dir_ / "lvshowall.txt");
    EXPECT_TRUE(left == first || left == second)
        << "kill " << kill << ": " << left.size() << " bytes of " << first.size();
  }
}

// The temporaries that killed saves leave behind are found by the exact name the save gives
// them and removed for the files the caller names only; lookalikes and folders stay.
TEST_F(WholeSave, TemporariesLeftByKilledSavesAreRemovedForTheNamedFilesOnly) {
  for (int kill = 0; kill < 4; ++kill) {
    const pid_t child = fork();
    if (child == 0) {
      FileReplacement cutShort("lvshowall.txt");
      FileReplacement other("newgrid.lv");
      cutShort.Write("half a list");
      ::kill(getpid(), SIGKILL);
    }
    waitpid(child, nullptr, 0);
  }
  const std::vector<std::string> lookalikes = {".lvshowall.txt.abc12",
                                               ".lvshowall.txt.abc1234",
                                               ".lvshowall.txt.ab-123",
                                               "lvshowall.txt.abc123",
                                               ".lvshowall.txtXabc123",
                                               ".lvshowall.txt.abc123.tmp",
                                               "..lvshowall.txt.abc123",
                                               ".lvshowall.txt.tarnwick-save.abc12",
                                               ".lvshowall.txt.tarnwick-save.ab-123",
                                               ".lvshowall.txt.tarnwick-saveXabc123",
                                               ".lvshowall.txttarnwick-save.abc123",
                                               "lvshowall.txt.tarnwick-save.abc123"};
  for (const std::string& name : lookalikes) std::ofstream(dir_ / name) << "x";
  fs::create_directory(dir_ / ".lvshowall.txt.Folder");
  ASSERT_EQ(namesLike(dir_ / "lvshowall.txt").size(), 4 + lookalikes.size() + 1);
  ASSERT_EQ(namesLike(dir_ / "newgrid.lv").size(), 4u);

  RemoveLeftTemporaries(dir_.string(),
                        [](const std::string& target) { return target == "lvshowall.txt"; });
  std::vector<std::string> left = namesLike(dir_ / "lvshowall.txt");
  std::vector<std::string> expected = lookalikes;
  expected.push_back(".lvshowall.txt.Folder");
  std::sort(left.begin(), left.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  EXPECT_EQ(namesLike(dir_ / "newgrid.lv").size(), 4u);
}

TEST_F(WholeSave, ReplacedFileKeepsItsPermissionsAndAFolderThatIsMissingIsReported) {
  watchList(1, 'a').SaveToFile("lvshowall.txt");
  fs::permissions("lvshowall.txt", fs::perms::owner_read | fs::perms::owner_write);
  watchList(2, 'b').SaveToFile("lvshowall.txt");
  EXPECT_EQ(fs::status("lvshowall.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  try {
    watchList(1, 'a').SaveToFile("missing/lvshowall.txt");
    ADD_FAILURE() << "a save into a missing folder raises";
  } catch (const EFCreateError& E) {
    EXPECT_NE(E.Message().Pos("missing/lvshowall.txt"), 0) << E.Message().str();
  }
}

// A user who keeps a file elsewhere through a link of his own finds the save there: the link
// stays, the file it names is replaced whole (its temporary beside it), also through a chain of
// links or a link whose file is not there yet. A link of another owner is never followed: it is
// replaced by the saved file, so nobody can steer a save to a file of the user's elsewhere.
TEST_F(WholeSave, SaveThroughTheUsersOwnLinkReplacesTheFileItNames) {
  fs::create_directory("elsewhere");
  watchList(1, 'a').SaveToFile("elsewhere/list.txt");
  fs::create_symlink("elsewhere/list.txt", "lvshowall.txt");
  fs::create_symlink(dir_ / "elsewhere" / "groups", "elsewhere/groups.link");
  fs::create_symlink("elsewhere/groups.link", "groups.tnq");
  watchList(2, 'b').SaveToFile("lvshowall.txt");
  watchList(1, 'c').SaveToFile("groups.tnq");
  EXPECT_TRUE(fs::is_symlink("lvshowall.txt"));
  EXPECT_TRUE(fs::is_symlink("groups.tnq"));
  EXPECT_EQ(bytesOf("elsewhere/list.txt"), watchList(2, 'b').Text().str());
  EXPECT_EQ(bytesOf("elsewhere/groups"), watchList(1, 'c').Text().str());
  EXPECT_EQ(namesLike(dir_ / "elsewhere" / "list.txt"), std::vector<std::string>{"list.txt"});

  // The same link owned by someone else (the test runs as root, which may hand a link over).
  if (geteuid() != 0) GTEST_SKIP() << "handing a link to another owner needs root";
  fs::create_symlink("elsewhere/list.txt", "lvAllTdate.txt");
  ASSERT_EQ(lchown("lvAllTdate.txt", 65534, 65534), 0);
  watchList(3, 'd').SaveToFile("lvAllTdate.txt");
  EXPECT_FALSE(fs::is_symlink("lvAllTdate.txt"));
  EXPECT_EQ(bytesOf("lvAllTdate.txt"), watchList(3, 'd').Text().str());
  EXPECT_EQ(bytesOf("elsewhere/list.txt"), watchList(2, 'b').Text().str());
}

// A save replaces a regular file only. A folder, a device, a fifo or a socket where the file
// would go, by its own name or through the user's link, stays as it is (a link too), and the
// save fails saying so, with no temporary left anywhere.
TEST_F(WholeSave, SaveToWhatIsNoRegularFileFailsAndLeavesItAsItIs) {
  fs::create_directory("folder");
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "socket");
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  std::vector<std::pair<std::string, mode_t>> kinds = {
      {"folder", S_IFDIR}, {"fifo", S_IFIFO}, {"socket", S_IFSOCK}};
  // A device of the test's own (the null device's numbers), where devices may be made.
  if (mknod("device", S_IFCHR | 0600, makedev(1, 3)) == 0) kinds.push_back({"device", S_IFCHR});
  for (const auto& [target, type] : kinds) {
    const std::string link = "link-to-" + target;
    fs::create_symlink(target, link);
    for (const std::string& name : {target, link}) {
      SCOPED_TRACE(name);
      try {
        watchList(1, 'a').SaveToFile(name);
        ADD_FAILURE() << "the save is refused";
      } catch (const EFCreateError& E) {
        EXPECT_EQ(E.Message().str(),
                  "Cannot replace " + target + ": " +
                      (type == S_IFDIR ? "Is a directory" : "Not a regular file"));
      }
      struct stat info {};
      ASSERT_EQ(lstat(target.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & S_IFMT, type);
      EXPECT_TRUE(fs::is_symlink(link));
    }
  }
  close(listener);
  for (const auto& entry : fs::recursive_directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename().string().find(".tarnwick-save."), std::string::npos)
        << entry.path();
}

}  // namespace
