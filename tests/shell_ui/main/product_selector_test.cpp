// The product selector: filled from the working folder's product files at
// start-up, showing the configured product without posting a selection.
#include <QComboBox>
#include <filesystem>

#include "main_window_fixture.h"
#include "platform/temp_folder.h"

namespace maintest {
namespace {

class ProductSelector : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    folder = platform::MakeTemporaryFolder("quillon-selector-");
    ASSERT_FALSE(folder.empty());
    std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                               folder + "/radios.qlp");
    GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, folder);
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    GetAppSettings().SetStringParam(OPTION_PRODUCT_TAG, "");
    GetAppSettings().SetAppString(APP_STRING_WORKING_DIRECTORY, "");
    std::filesystem::remove_all(folder);
  }
  std::vector<std::string> Items() {
    std::vector<std::string> items;
    for (int i = 0; i < window->ProductSelector()->count(); ++i)
      items.push_back(window->ProductSelector()->itemText(i).toStdString());
    return items;
  }
  std::string folder;
};

TEST_F(ProductSelector, StartUpShowsTheConfiguredProductAndPostsNothing) {
  GetAppSettings().SetStringParam(OPTION_PRODUCT_TAG, "radio_b");
  Open();
  FlushWindow();
  EXPECT_EQ(Items(), (std::vector<std::string>{"RADIO_A", "RADIO_B", "RADIO_C"}));
  EXPECT_EQ(window->ProductSelector()->currentText(), "RADIO_B");
  EXPECT_TRUE(Drain(pre).empty());
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(ProductSelector, WithoutAConfiguredProductTheFirstIsShownAndNothingPosted) {
  GetAppSettings().SetStringParam(OPTION_PRODUCT_TAG, "");
  Open();
  FlushWindow();
  EXPECT_EQ(window->ProductSelector()->currentText(), "RADIO_A");
  EXPECT_TRUE(Drain(pre).empty());
}

TEST_F(ProductSelector, ADuplicateTagIsLoggedAndShownAsAnError) {
  std::filesystem::copy_file(folder + "/radios.qlp", folder + "/copy.qlp");
  Open();
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Error> Duplicate product tag 'RADIO_A'. found in files radios.qlp and copy.qlp");
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_USER_PROMPT);
  EXPECT_EQ(posted[0].wParam, 9u);
}

}  // namespace
}  // namespace maintest
