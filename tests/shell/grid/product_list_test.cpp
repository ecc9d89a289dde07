// The product selector's list: tags of every product file, sorted without
// regard to case, the product filter, and a tag declared twice.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/temp_folder.h"
#include "shell/grid/product_list.h"

namespace {

class ProductListTest : public ::testing::Test {
 protected:
  void SetUp() override { folder = platform::MakeTemporaryFolder("quillon-products-"); ASSERT_FALSE(folder.empty()); }
  void TearDown() override { std::filesystem::remove_all(folder); }
  void Write(const std::string& name, const std::string& text) { std::ofstream(folder + "/" + name) << text; }
  void CopyExample(const std::string& name) {
    std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                               folder + "/" + name);
  }
  static std::vector<std::string> Tags(const ProductScan& scan) {
    std::vector<std::string> tags;
    for (const auto& e : scan.entries) tags.push_back(e.tag);
    return tags;
  }
  std::string folder;
};

TEST_F(ProductListTest, ListsEveryTagSortedWithItsFile) {
  CopyExample("radios.qlp");
  Write("more.QLP", "product alpha { processor Harrow; }\nproduct Zulu { processor Harrow; }\n");
  Write("notes.txt", "product IGNORED { }\n");
  ProductScan scan = ScanProductFiles(folder, false);
  EXPECT_TRUE(scan.errorLine.empty());
  EXPECT_EQ(Tags(scan), (std::vector<std::string>{"alpha", "RADIO_A", "RADIO_B", "RADIO_C", "Zulu"}));
  EXPECT_EQ(scan.entries[0].file, "more.QLP");
  EXPECT_EQ(scan.entries[1].file, "radios.qlp");
}

TEST_F(ProductListTest, TheFilterKeepsTagsWithTheirFlagSet) {
  CopyExample("radios.qlp");
  EXPECT_EQ(Tags(ScanProductFiles(folder, true)), (std::vector<std::string>{"RADIO_A", "RADIO_B"}));
}

TEST_F(ProductListTest, ADuplicateTagStopsTheScanWithItsErrorLine) {
  CopyExample("a.qlp");
  Write("b.qlp", "product radio_b { processor Harrow; }\n");
  ProductScan scan = ScanProductFiles(folder, false);
  EXPECT_EQ(scan.errorLine, "Error> Duplicate product tag 'radio_b'. found in files b.qlp and a.qlp");
  Write("c.qlp", "product ONE { processor Harrow; }\nproduct one { processor Harrow; }\n");
  std::filesystem::remove(folder + "/b.qlp");
  scan = ScanProductFiles(folder, false);
  EXPECT_EQ(scan.errorLine, "Error> Duplicate product tag 'one'. found in file c.qlp");
}

TEST_F(ProductListTest, AnUnreadableFileIsSkippedAndAnEmptyFolderGivesNothing) {
  EXPECT_TRUE(ScanProductFiles(folder, false).entries.empty());
  Write("broken.qlp", "product { {{\n");
  CopyExample("radios.qlp");
  EXPECT_EQ(Tags(ScanProductFiles(folder, false)).size(), 3u);
}

TEST(ProductEntries, InsertKeepsTheOrderAndFindIgnoresCase) {
  std::vector<ProductEntry> entries{{"f", "Alpha"}, {"f", "Delta"}};
  EXPECT_EQ(InsertProductEntry(entries, {"g", "charlie"}), 1);
  EXPECT_EQ(InsertProductEntry(entries, {"g", "echo"}), 3);
  EXPECT_EQ(FindProductTag(entries, "DELTA"), 2);
  EXPECT_EQ(FindProductTag(entries, "bravo"), -1);
}

}  // namespace
