// The product selector: filled from the working folder's product files at
// start-up, showing the configured product without posting a selection.
#include <QComboBox>
#include <filesystem>

#include "main_window_fixture.h"
#include "engine/core/prompt_request.h"
#include "pellwick/pellwick.h"
#include "platform/temp_folder.h"
#include "shell/userio/product_selection.h"
#include <fstream>

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
  // The product entries, above the separator and the chooser entry.
  std::vector<std::string> Items() {
    std::vector<std::string> items;
    QComboBox* selector = window->ProductSelector();
    for (int i = 0; i + 1 < selector->count() && !selector->itemText(i).isEmpty(); ++i)
      items.push_back(selector->itemText(i).toStdString());
    return items;
  }
  std::string LastItem() {
    QComboBox* selector = window->ProductSelector();
    return selector->itemText(selector->count() - 1).toStdString();
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

struct StartUpCase {
  const char* name;
  const char* configuredTag;  // as the configuration file gave it
  const char* shown;
  bool posted;  // the shown entry is posted as the new product
};

class ProductAtStartUp : public ProductSelector, public ::testing::WithParamInterface<StartUpCase> {
 protected:
  void TearDown() override {
    ProductSelector::TearDown();
    // The start-up's USB registration, as the window's shut-down left it.
    for (std::uint16_t app = 0; app < PWL_MAX_APPS; ++app) PWLDeregisterApp(app);
    PWLTerminatePST();
    PWLTerminateEx(0);
    GetAppSettings().SetIntParam(OPTION_COMM_PROTOCOL, 1);
  }
};

// When the configuration has been read (the start-up continues), a product
// that no product file holds gives way to the first entry, which is posted
// so that the user-I/O thread reads it; a known product is shown and kept.
TEST_P(ProductAtStartUp, ShowsTheConfiguredProductOrLoadsTheFirst) {
  const StartUpCase& c = GetParam();
  Open();
  FlushWindow();
  Drain(pre);
  GetAppSettings().SetStringParam(OPTION_PRODUCT_TAG, c.configuredTag);
  PostToWindow(WM_STARTUP_CONTINUE);
  FlushWindow();
  EXPECT_EQ(window->ProductSelector()->currentText().toStdString(), c.shown);
  std::vector<ProductSelection> selections;
  for (auto& m : Drain(pre)) {
    if (m.number != WM_SELECT_PRODUCT) continue;
    auto chosen = m.Take<WM_SELECT_PRODUCT>();
    ASSERT_TRUE(chosen);
    selections.push_back(*chosen);
  }
  if (!c.posted) {
    EXPECT_TRUE(selections.empty()) << c.configuredTag;
    return;
  }
  ASSERT_EQ(selections.size(), 1u) << c.configuredTag;
  EXPECT_EQ(selections[0].productFile, "radios.qlp");
  EXPECT_EQ(selections[0].productTag, c.shown);
}

INSTANTIATE_TEST_SUITE_P(Products, ProductAtStartUp,
                         ::testing::Values(StartUpCase{"Listed", "radio_b", "RADIO_B", false},
                                           StartUpCase{"NotListed", "RADIO_Z", "RADIO_A", true},
                                           StartUpCase{"NoneConfigured", "", "RADIO_A", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProductSelector, ADuplicateTagIsLoggedAndShownAsAnError) {
  std::filesystem::copy_file(folder + "/radios.qlp", folder + "/copy.qlp");
  Open();
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Error> Duplicate product tag 'RADIO_A'. found in files radios.qlp and copy.qlp");
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  auto prompt = posted[0].Take<WM_USER_PROMPT>();
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt->kind, PROMPT_ERROR);
}

TEST_F(ProductSelector, TheUserIoThreadsChoiceIsShownAndAnUnknownTagInsertedInOrder) {
  Open();
  ASSERT_TRUE(platform::PostWindowMessage<WM_SELECT_PRODUCT>(window->Handle(),
                                          std::make_unique<ProductSelection>(ProductSelection{"radios.qlp", "radio_c"})));
  FlushWindow();
  EXPECT_EQ(window->ProductSelector()->currentText(), "RADIO_C");
  ASSERT_TRUE(platform::PostWindowMessage<WM_SELECT_PRODUCT>(window->Handle(),
                                          std::make_unique<ProductSelection>(ProductSelection{"x.qlp", "RADIO_AB"})));
  FlushWindow();
  EXPECT_EQ(Items(), (std::vector<std::string>{"RADIO_A", "RADIO_AB", "RADIO_B", "RADIO_C"}));
  EXPECT_EQ(window->ProductSelector()->currentText(), "RADIO_AB");
  EXPECT_TRUE(Drain(pre).empty());
}

TEST_F(ProductSelector, ChoosingAnEntryPostsItsFileAndTag) {
  Open();
  window->ProductSelector()->activated(2);
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_SELECT_PRODUCT);
  auto chosen = posted[0].Take<WM_SELECT_PRODUCT>();
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->productFile, "radios.qlp");
  EXPECT_EQ(chosen->productTag, "RADIO_C");
}

TEST_F(ProductSelector, DroppingTheListDownRescansTheFolder) {
  GetAppSettings().SetStringParam(OPTION_PRODUCT_TAG, "RADIO_C");
  Open();
  ASSERT_EQ(window->ProductSelector()->currentText(), "RADIO_C");
  std::ofstream(folder + "/new.qlp") << "product ALPHA { processor Harrow; }\n";
  std::filesystem::remove(folder + "/radios.qlp");
  window->ProductSelector()->showPopup();
  window->ProductSelector()->hidePopup();
  EXPECT_EQ(Items(), std::vector<std::string>{"ALPHA"});
  // The shown product is gone: the first entry is chosen and posted.
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  auto chosen = posted[0].Take<WM_SELECT_PRODUCT>();
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->productTag, "ALPHA");
}

// The list ends in the entry that opens the file dialog (the user-I/O
// thread's "choose a product file", asked for with an empty selection).
TEST_F(ProductSelector, TheLastEntryAsksForAProductFileAndKeepsTheShownProduct) {
  GetAppSettings().SetStringParam(OPTION_PRODUCT_TAG, "RADIO_B");
  Open();
  QComboBox* selector = window->ProductSelector();
  EXPECT_EQ(LastItem(), "Select a new product file...");
  EXPECT_EQ(selector->count(), 5);  // three products, a separator and the entry
  selector->setCurrentIndex(selector->count() - 1);
  selector->activated(selector->count() - 1);
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].number, WM_SELECT_PRODUCT);
  EXPECT_FALSE(posted[0].Take<WM_SELECT_PRODUCT>());
  EXPECT_EQ(selector->currentText(), "RADIO_B");
}

TEST_F(ProductSelector, AnEmptyFolderOffersOnlyTheEntryAndShowsNoProduct) {
  std::filesystem::remove(folder + "/radios.qlp");
  Open();
  QComboBox* selector = window->ProductSelector();
  ASSERT_EQ(selector->count(), 1);
  EXPECT_EQ(LastItem(), "Select a new product file...");
  EXPECT_EQ(selector->currentIndex(), -1);
  EXPECT_EQ(selector->placeholderText(), "No product");
  selector->activated(0);
  auto posted = Drain(pre);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_FALSE(posted[0].Take<WM_SELECT_PRODUCT>());
  // The chosen file, once copied, is listed and shown.
  ASSERT_TRUE(platform::PostWindowMessage<WM_SELECT_PRODUCT>(
      window->Handle(), std::make_unique<ProductSelection>(ProductSelection{"radios.qlp", "RADIO_B"})));
  FlushWindow();
  EXPECT_EQ(Items(), std::vector<std::string>{"RADIO_B"});
  EXPECT_EQ(selector->currentText(), "RADIO_B");
  EXPECT_EQ(LastItem(), "Select a new product file...");
}

}  // namespace
}  // namespace maintest
