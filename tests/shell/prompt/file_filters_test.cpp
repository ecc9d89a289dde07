#include "shell/prompt/file_filters.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Filters = std::vector<std::string>;

// What the toolkit is given for every filter the program opens a file dialog with.
const std::map<std::string, Filters>& Expected() {
  static const std::map<std::string, Filters> expected{
      {kSRecordFilter, {"S-record files (*.s)", "All Files (*)"}},
      {kScriptFilter, {"Quillon script files (*.qls)", "All Files (*)"}},
      {kImageFileFilter, {"S-record images (*.s19)", "All Files (*)"}},
      {kDataFileFilter, {"Data files (*.bin)", "All Files (*)"}},
      {kRamDumpFilter, {"Ram dump files (*.ram)", "All Files (*)"}},
      {kProductFileFilter, {"Quillon Product files (*.qlp)", "All files (*)"}},
      {kFlashpackFileFilter, {"FlashPack files (*.s19)", "All Files (*)"}},
      {kReadBackFileFilter, {"S-record files (*.s19)", "All Files (*)"}},
  };
  return expected;
}

TEST(FileFilters, EveryFilterOfTheProgramReachesTheToolkitOnePatternAtATime) {
  ASSERT_EQ(Expected().size(), kProgramFileFilters.size());
  for (const char* filter : kProgramFileFilters) {
    SCOPED_TRACE(filter);
    const auto it = Expected().find(filter);
    ASSERT_NE(it, Expected().end()) << "a filter without an expectation";
    EXPECT_EQ(ToolkitNameFilters(filter), it->second);
  }
}

struct FilterCase {
  const char* given;
  Filters converted;
};

class FilterConversion : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterConversion, GivesOneNameFilterPerPair) {
  EXPECT_EQ(ToolkitNameFilters(GetParam().given), GetParam().converted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FilterConversion,
    ::testing::Values(FilterCase{"A (*.x; *.y)|*.x; *.y;|B|*.z||", {"A (*.x *.y)", "B (*.z)"}},
                      FilterCase{"Name without closing pair|*.a", {"Name without closing pair (*.a)"}},
                      FilterCase{"", {}}, FilterCase{"||", {}},
                      FilterCase{"Only a name", {}},
                      // The patterns after the name count, not the ones in its parentheses.
                      FilterCase{"Images (*.old)|*.s19|", {"Images (*.s19)"}}));

}  // namespace
