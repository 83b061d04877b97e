#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TempWorkingDir.h"
#include "win32/file_lock.h"

using FileLock = TempWorkingDir;

TEST_F(FileLock, OneHolderAtATimeAndTheLockGoesWithItsHolder) {
  using State = ExclusiveFileLock::State;
  {
    const ExclusiveFileLock first("folder.lock");
    EXPECT_EQ(first.state(), State::Held);
    const ExclusiveFileLock second("folder.lock");
    EXPECT_EQ(second.state(), State::HeldElsewhere);
  }
  const ExclusiveFileLock next("folder.lock");
  EXPECT_EQ(next.state(), State::Held);
  // The lock file is made, and never written.
  EXPECT_EQ(ReadFile(work() / "folder.lock"), "");
  EXPECT_EQ(ExclusiveFileLock("missing-folder/folder.lock").state(), State::Unavailable);
}

// A program started while the lock is held (as the portal starts the agent and the sniper)
// does not keep it once its starter lets go, even while it runs on.
TEST_F(FileLock, AStartedProgramDoesNotInheritTheLock) {
  pid_t child = -1;
  {
    const ExclusiveFileLock held("folder.lock");
    ASSERT_EQ(held.state(), ExclusiveFileLock::State::Held);
    // The pipe's end closes in the child when it executes the program.
    int started[2];
    ASSERT_EQ(pipe2(started, O_CLOEXEC), 0);
    child = fork();
    if (child == 0) {
      execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(child, 0);
    close(started[1]);
    char byte;
    while (read(started[0], &byte, 1) > 0) {
    }
    close(started[0]);
  }
  EXPECT_EQ(ExclusiveFileLock("folder.lock").state(), ExclusiveFileLock::State::Held);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}
