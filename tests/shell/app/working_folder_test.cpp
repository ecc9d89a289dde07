// The working folder: made when missing, refused with the system's reason
// when it cannot be made or written, and locked for one program per title.
#include "shell/app/working_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "../support/shell_test_support.h"

namespace {

namespace fs = std::filesystem;

class WorkingFolder : public ::testing::Test {
 protected:
  void SetUp() override { start_ = fs::current_path(); }
  void TearDown() override { fs::current_path(start_); }
  shell_test::TempFolder dir;
  fs::path start_;
};

TEST_F(WorkingFolder, TheUserFolderIsQuillonInTheHomeFolder) {
  EXPECT_EQ(UserWorkingFolder("/home/ann"), "/home/ann/Quillon");
}

TEST_F(WorkingFolder, AMissingFolderIsMadeAndEntered) {
  const std::string folder = dir.File("home/Quillon");
  EXPECT_EQ(EnterWorkingFolder(folder), "");
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(fs::current_path(), fs::path(folder));
  EXPECT_EQ(CheckWorkingFolderWritable(folder), "");
  // The probe leaves nothing behind.
  EXPECT_TRUE(fs::is_empty(folder));
}

// A home that is a regular file: no user, root included, can make a folder in it.
TEST_F(WorkingFolder, AFolderThatCannotBeMadeNamesItAndTheReason) {
  dir.Write("home", "not a folder");
  const std::string folder = dir.File("home/Quillon");
  EXPECT_EQ(EnterWorkingFolder(folder), "Cannot make the working folder " + folder + ": Not a directory");
}

TEST_F(WorkingFolder, AFolderThatCannotBeWrittenNamesItAndTheReason) {
  dir.Write("file", "");
  const std::string folder = dir.File("file");
  EXPECT_EQ(CheckWorkingFolderWritable(folder).rfind("Cannot write in the working folder " + folder + ": Not a directory.", 0),
            0u);
}

TEST_F(WorkingFolder, ASecondLockOnTheSameTitleIsRefusedWithTheHolder) {
  CWorkingFolderLock first;
  CWorkingFolderLock second;
  ASSERT_EQ(first.Take(dir.Dir(), "Bench 2"), "");
  EXPECT_TRUE(dir.Exists("Bench 2.lock"));
  EXPECT_EQ(second.Take(dir.Dir(), "Bench 2"),
            "The working folder " + dir.Dir() + " is in use: another vexaload (process " +
                std::to_string(::getpid()) +
                ") works there with Bench 2.cfg and Bench 2.log. Close it first, or start this one with -id and "
                "another name.");
  CWorkingFolderLock other;
  EXPECT_EQ(other.Take(dir.Dir(), "Bench 3"), "");
}

TEST_F(WorkingFolder, ALockIsFreeAgainOnceItsHolderHasGone) {
  {
    CWorkingFolderLock first;
    ASSERT_EQ(first.Take(dir.Dir(), "T"), "");
  }
  EXPECT_FALSE(dir.Exists("T.lock"));
  CWorkingFolderLock second;
  EXPECT_EQ(second.Take(dir.Dir(), "T"), "");
}

}  // namespace
