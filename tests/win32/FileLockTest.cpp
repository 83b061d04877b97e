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
