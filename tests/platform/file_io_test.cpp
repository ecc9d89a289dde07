// Whole-file calls say why they failed, as the serial port does: the
// Windows error number and the Linux one; and a failed write leaves the
// target as it was.

#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/temp_folder.h"

namespace {

using platform::FileError;

class FileIoTest : public ::testing::Test {
 public:
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("quillon-files-");
    ASSERT_FALSE(folder_.empty());
    std::ofstream(Path("present.txt")) << "present";
    std::ofstream(Path("read-only.txt")) << "kept";
    ::chmod(Path("read-only.txt").c_str(), 0444);
    std::filesystem::create_directory(Path("folder"));
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::string folder_;
};

struct FailureCase {
  const char* name;
  std::function<bool(FileIoTest&, FileError&)> call;
  std::uint32_t error;
  int errnoValue;
};

class FileFailures : public FileIoTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FileFailures, SayWhy) {
  FileError why;
  EXPECT_FALSE(GetParam().call(*this, why));
  EXPECT_EQ(why.error, GetParam().error);
  EXPECT_EQ(why.errnoValue, GetParam().errnoValue);
}

std::string contents;  // what the failed reads would have filled

INSTANTIATE_TEST_SUITE_P(
    Calls, FileFailures,
    ::testing::Values(
        FailureCase{"ReadMissing", [](FileIoTest& t, FileError& why) { return platform::ReadWholeFile(t.Path("none"), contents, &why); },
                    platform::kErrorFileNotFound, ENOENT},
        FailureCase{"ReadFolder", [](FileIoTest& t, FileError& why) { return platform::ReadWholeFile(t.Path("folder"), contents, &why); },
                    platform::kErrorInvalidParameter, EISDIR},
        FailureCase{"RemoveMissing", [](FileIoTest& t, FileError& why) { return platform::RemoveFile(t.Path("none"), &why); },
                    platform::kErrorFileNotFound, ENOENT},
        FailureCase{"WriteIntoMissingFolder",
                    [](FileIoTest& t, FileError& why) { return platform::WriteFileAtomically(t.Path("none/x.txt"), "x", &why); },
                    platform::kErrorFileNotFound, ENOENT},
        FailureCase{"WriteOverReadOnly",
                    [](FileIoTest& t, FileError& why) { return platform::WriteFileAtomically(t.Path("read-only.txt"), "x", &why); },
                    platform::kErrorAccessDenied, EACCES},
        FailureCase{"WriteOverFolder",
                    [](FileIoTest& t, FileError& why) { return platform::WriteFileAtomically(t.Path("folder"), "x", &why); },
                    platform::kErrorInvalidParameter, EISDIR}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileIoTest, SuccessesLeaveNoReasonAndAFailedWriteKeepsTheTarget) {
  FileError why;
  std::string read;
  ASSERT_TRUE(platform::ReadWholeFile(Path("present.txt"), read, &why));
  EXPECT_EQ(read, "present");
  EXPECT_EQ(why.error, 0u);
  ASSERT_TRUE(platform::WriteFileAtomically(Path("present.txt"), "new", &why));
  ASSERT_TRUE(platform::ReadWholeFile(Path("present.txt"), read));
  EXPECT_EQ(read, "new");
  EXPECT_FALSE(platform::WriteFileAtomically(Path("read-only.txt"), "x", &why));
  ASSERT_TRUE(platform::ReadWholeFile(Path("read-only.txt"), read));
  EXPECT_EQ(read, "kept");
  platform::AtomicFileWriter writer;
  EXPECT_FALSE(writer.Commit());
  EXPECT_EQ(writer.LastError(), platform::kErrorInvalidHandle);
}

}  // namespace
