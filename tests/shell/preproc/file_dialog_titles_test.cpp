// Each file dialog of the pre-processing thread says in its title what the
// chosen file is for.

#include "preproc_fixture.h"

namespace preproc_test {
namespace {

struct TitleCase {
  std::uint32_t command;
  const char* title;
};

class FileDialogTitle : public PreprocFixture, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(FileDialogTitle, NamesWhatTheFileIsFor) {
  StartThread();
  Post(GetParam().command);
  EXPECT_TRUE(FlushJobs().empty());
  std::lock_guard lock(dialogs->mutex);
  ASSERT_EQ(dialogs->opened.size(), 1u);
  EXPECT_EQ(dialogs->opened[0].title, GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Commands, FileDialogTitle,
                         ::testing::Values(TitleCase{WM_RUN_SCRIPT_FILE, "Run Script"},
                                           TitleCase{WM_ORVIX_FLASH, "GPS Chip Flash"},
                                           TitleCase{WM_RALIX_FLASH_FILE, "Smartphone Flash File"}));

}  // namespace
}  // namespace preproc_test
