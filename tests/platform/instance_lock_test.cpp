// The lock file that one process at a time holds.
#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/temp_folder.h"

namespace {

using platform::InstanceLock;

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("quillon-lock-");
    ASSERT_FALSE(folder_.empty());
    path_ = folder_ + "/T.lock";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string folder_;
  std::string path_;
};

TEST_F(InstanceLockTest, TheHolderWritesItsProcessIdAndTheNextIsRefused) {
  InstanceLock first;
  ASSERT_EQ(first.Take(path_), InstanceLock::Result::Taken);
  EXPECT_TRUE(first.Held());
  InstanceLock second;
  EXPECT_EQ(second.Take(path_), InstanceLock::Result::HeldByOther);
  EXPECT_EQ(second.HolderProcessId(), ::getpid());
  EXPECT_FALSE(second.Held());
}

TEST_F(InstanceLockTest, ReleaseRemovesTheFileAndFreesTheLock) {
  InstanceLock first;
  ASSERT_EQ(first.Take(path_), InstanceLock::Result::Taken);
  first.Release();
  EXPECT_FALSE(std::filesystem::exists(path_));
  InstanceLock second;
  EXPECT_EQ(second.Take(path_), InstanceLock::Result::Taken);
}

// A process that died holding the lock leaves its file; the lock went with it.
TEST_F(InstanceLockTest, TheFileOfAProcessThatDiedIsTakenAgain) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceLock lock;
    ::_exit(lock.Take(path_) == InstanceLock::Result::Taken ? 0 : 1);  // ends without releasing
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(std::filesystem::exists(path_));
  InstanceLock lock;
  EXPECT_EQ(lock.Take(path_), InstanceLock::Result::Taken);
}

TEST_F(InstanceLockTest, AFolderThatIsNoFolderFailsWithTheReason) {
  std::ofstream(folder_ + "/file") << "x";
  InstanceLock lock;
  EXPECT_EQ(lock.Take(folder_ + "/file/T.lock"), InstanceLock::Result::Failed);
  EXPECT_EQ(lock.Errno(), ENOTDIR);
}

}  // namespace
