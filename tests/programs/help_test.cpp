// Every program of the suite answers --help and -h with its usage on
// standard output and exit status 0, without a display and without making a
// file in the folder it runs in.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct HelpCase {
  std::string program;
  std::string argument;
};

std::vector<HelpCase> Cases() {
  std::vector<HelpCase> cases;
  std::stringstream list(QUILLON_SUITE_PROGRAMS);
  for (std::string name; std::getline(list, name, ',');) {
    for (const char* argument : {"--help", "-h"}) cases.push_back({name, argument});
  }
  return cases;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SuiteHelp : public ::testing::TestWithParam<HelpCase> {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("quillon-help-");
    output_ = platform::MakeTemporaryFolder("quillon-help-out-");
    ASSERT_FALSE(folder_.empty());
    ASSERT_FALSE(output_.empty());
  }
  void TearDown() override {
    fs::remove_all(folder_);
    fs::remove_all(output_);
  }
  std::string folder_;
  std::string output_;
};

TEST_P(SuiteHelp, PrintsTheUsageAndExitsZero) {
  const std::string program = std::string(QUILLON_BINARY_DIR) + "/bin/" + GetParam().program;
  const std::string command = "cd '" + folder_ + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                              program + "' " + GetParam().argument + " >'" + output_ + "/out' 2>'" + output_ +
                              "/err' </dev/null";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string out = ReadFile(output_ + "/out");
  const bool usage = out.rfind("usage: " + GetParam().program, 0) == 0 ||
                     out.rfind("Help:\r\n" + GetParam().program, 0) == 0;  // Crypt's own words
  EXPECT_TRUE(usage) << out;
  EXPECT_EQ(ReadFile(output_ + "/err"), "");
  EXPECT_TRUE(fs::is_empty(folder_));
}

INSTANTIATE_TEST_SUITE_P(Programs, SuiteHelp, ::testing::ValuesIn(Cases()), [](const auto& info) {
  std::string name = info.param.program + (info.param.argument == "-h" ? "_ShortHelp" : "_Help");
  return name;
});

}  // namespace
