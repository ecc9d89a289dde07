// A trace switched by an environment variable writes whole prefixed lines to
// the file the variable names, nothing while it is unset, and follows a
// changed value to the new file.

#include "platform/env_trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/temp_folder.h"

namespace {

constexpr const char* kVariable = "QUILLON_ENV_TRACE_TEST";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class EnvTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("quillon-trace-");
    ASSERT_FALSE(folder_.empty());
    ::unsetenv(kVariable);
  }
  void TearDown() override {
    ::unsetenv(kVariable);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Path(const char* name) const { return folder_ + "/" + name; }

  std::string folder_;
};

TEST_F(EnvTraceTest, WritesPrefixedLinesOnlyWhileTheVariableNamesAFile) {
  platform::EnvTrace trace(kVariable, "Unit: ");
  trace.Printf("before %d", 1);  // off: the variable is unset
  ::setenv(kVariable, Path("a.log").c_str(), 1);
  trace.Printf("call %s -> %d", "Open", 0);
  trace.Printf("call %s -> %d", "Close", 6);
  ::unsetenv(kVariable);
  trace.Printf("after %d", 2);
  EXPECT_EQ(ReadAll(Path("a.log")), "Unit: call Open -> 0\nUnit: call Close -> 6\n");
}

TEST_F(EnvTraceTest, FollowsAChangedValueToTheNewFile) {
  platform::EnvTrace trace(kVariable, "");
  ::setenv(kVariable, Path("first.log").c_str(), 1);
  trace.Printf("one");
  ::setenv(kVariable, Path("second.log").c_str(), 1);
  trace.Printf("two");
  EXPECT_EQ(ReadAll(Path("first.log")), "one\n");
  EXPECT_EQ(ReadAll(Path("second.log")), "two\n");
}

TEST_F(EnvTraceTest, CutsAnOverlongLineAtItsBufferAndStillEndsIt) {
  platform::EnvTrace trace(kVariable, "");
  ::setenv(kVariable, Path("long.log").c_str(), 1);
  const std::string longText(5000, 'x');
  trace.Printf("%s", longText.c_str());
  EXPECT_EQ(ReadAll(Path("long.log")), std::string(1023, 'x') + "\n");
}

}  // namespace
