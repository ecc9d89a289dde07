// Every benchmark program reads its command line before it runs anything:
// --help prints its usage on standard output and ends with 0; an unknown
// option, a bad value or a stray word prints the usage on standard error
// and ends with 2. None of these starts a measurement, so each ends at once.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace {

std::vector<std::string> Programs() {
  std::vector<std::string> names;
  std::stringstream list(QUILLON_BENCH_PROGRAMS);
  for (std::string name; std::getline(list, name, ',');) names.push_back(name);
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Outcome {
  int exit = -1;
  std::string out;
  std::string err;
};

class BenchUsage : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("bench-usage-");
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  Outcome Run(const std::string& arguments) const {
    const std::string program = std::string(QUILLON_BINARY_DIR) + "/bin/" + GetParam();
    const std::string out = folder_ + "/out.txt";
    const std::string err = folder_ + "/err.txt";
    const int status = std::system(("'" + program + "' " + arguments + " >" + out + " 2>" + err).c_str());
    return {status >= 0 ? (status >> 8) & 0xFF : -1, ReadFile(out), ReadFile(err)};
  }

  std::string folder_;
};

TEST_P(BenchUsage, HelpPrintsTheUsageOnStandardOutput) {
  const Outcome help = Run("--help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_EQ(help.out.rfind("usage: " + GetParam(), 0), 0u) << help.out;
  EXPECT_EQ(help.err, "");
}

TEST_P(BenchUsage, WrongArgumentsPrintTheUsageOnStandardErrorAndEndWithTwo) {
  const std::string usage = Run("--help").out;
  for (const char* arguments : {"--no-such-option", "--runs", "-x", "--help-me"}) {
    const Outcome wrong = Run(arguments);
    EXPECT_EQ(wrong.exit, 2) << arguments;
    EXPECT_EQ(wrong.out, "") << arguments;
    EXPECT_NE(wrong.err.find(usage), std::string::npos) << arguments << ": " << wrong.err;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, BenchUsage, ::testing::ValuesIn(Programs()),
                         [](const auto& info) { return info.param; });

}  // namespace
