// Loading every custom-menu file of a folder, and the published snapshot.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "platform/temp_folder.h"
#include "shell/custom_menu/custom_menu_loader.h"

namespace {

std::string MenuFile(const std::vector<std::pair<std::string, std::string>>& items,
                     const char* type = "Quillon Custom Menu Items") {
  std::string text = std::string("<content type=\"") + type + "\">\n";
  for (const auto& [label, command] : items) {
    text += "  <menuitem><label>" + label + "</label><command>" + command + "</command></menuitem>\n";
  }
  return text + "</content>\n";
}

class CustomMenuLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("custom-menu-");
    ASSERT_FALSE(folder_.empty());
    PublishCustomMenu({});
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    PublishCustomMenu({});
  }

  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(platform::WriteFileAtomically(folder_ + "/" + name, text));
  }

  std::vector<std::string> Labels() const {
    std::vector<std::string> labels;
    for (const auto& item : *GetCustomMenu()) labels.push_back(item.label);
    return labels;
  }

  CustomMenuLog Recorder() {
    return [this](const std::string& line) { log_.push_back(line); };
  }

  std::string folder_;
  std::vector<std::string> log_;
};

TEST_F(CustomMenuLoaderTest, TwoFilesGiveFourItemsFileByFileInNameOrder) {
  Write("b_second.XML", MenuFile({{"B1", "0b01"}, {"B2", "0b02"}}));
  Write("A_first.xml", MenuFile({{"A1", "0a01"}, {"A2", "0a02"}}));
  LoadCustomMenu(folder_ + "/", Recorder());
  EXPECT_EQ(Labels(), (std::vector<std::string>{"A1", "A2", "B1", "B2"}));
  EXPECT_TRUE(log_.empty());
  const auto b2 = GetCustomMenuItem(3);
  ASSERT_TRUE(b2.has_value());
  EXPECT_EQ(b2->commandLength, 2u);
  EXPECT_EQ(b2->command[0], 0x0B);
  EXPECT_EQ(b2->command[1], 0x02);
  EXPECT_EQ(b2->flags, kCustomMenuAllFamilies);
  EXPECT_FALSE(GetCustomMenuItem(4).has_value());
}

TEST_F(CustomMenuLoaderTest, MalformedFileIsReportedAndSkippedWhileOthersLoad) {
  Write("a.xml", MenuFile({{"A1", "01"}}));
  Write("b.xml", "<content type=\"Quillon Custom Menu Items\"><menuitem><label>Bad &nbsp;</label>");
  Write("c.xml", "<content></other>");
  Write("d.xml", MenuFile({{"D1", "02"}}));
  LoadCustomMenu(folder_, Recorder());
  EXPECT_EQ(Labels(), (std::vector<std::string>{"A1", "D1"}));
  EXPECT_EQ(log_, (std::vector<std::string>{"XML> Error: Unexpected token found", "XML> Error: Unmatched end tag"}));
}

TEST_F(CustomMenuLoaderTest, WarningFileNoRootAndOtherTypesAreSkipped) {
  Write("warn.xml", "<content type=\"Quillon Custom Menu Items\"><menuitem><label>W</menuitem></content>");
  Write("noroot.xml", "<menu/>");
  Write("other.xml", MenuFile({{"O1", "01"}}, "Something Else"));
  Write("menu.txt", MenuFile({{"T1", "01"}}));
  std::filesystem::create_directory(folder_ + "/folder.xml");
  LoadCustomMenu(folder_, Recorder());
  EXPECT_TRUE(Labels().empty());
  EXPECT_EQ(log_, (std::vector<std::string>{"XML> Error: First Tag not found", "XML> Warning: Unmatched end tag"}));
}

TEST_F(CustomMenuLoaderTest, DeclarationLineAndUtf16FileLoad) {
  Write("decl.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + MenuFile({{"Decl", "ff"}}));
  std::string utf16("\xFF\xFE", 2);
  for (char c : MenuFile({{"Wide", "01"}})) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  Write("wide.xml", utf16);
  LoadCustomMenu(folder_, Recorder());
  EXPECT_EQ(Labels(), (std::vector<std::string>{"Decl", "Wide"}));
  EXPECT_TRUE(log_.empty());
}

TEST_F(CustomMenuLoaderTest, ReloadReplacesItemsWhileAHeldSnapshotStaysAsItWas) {
  Write("a.xml", MenuFile({{"Old1", "01"}, {"Old2", "02"}}));
  LoadCustomMenu(folder_, Recorder());
  const CustomMenuSnapshot held = GetCustomMenu();
  ASSERT_EQ(held->size(), 2u);

  Write("a.xml", MenuFile({{"New1", "03"}}));
  LoadCustomMenu(folder_, Recorder());
  EXPECT_EQ(Labels(), std::vector<std::string>{"New1"});
  ASSERT_EQ(held->size(), 2u);
  EXPECT_EQ((*held)[1].label, "Old2");

  std::filesystem::remove(folder_ + "/a.xml");
  LoadCustomMenu(folder_, Recorder());
  EXPECT_TRUE(Labels().empty());
}

}  // namespace
