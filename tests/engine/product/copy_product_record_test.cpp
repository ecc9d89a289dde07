#include "engine/product/copy_product_record.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/product/product_file_parser.h"
#include "log_capture.h"

namespace {

CProductRecord ProductWith(std::initializer_list<std::vector<CSectionRecord>> flashes) {
  CProductRecord product;
  product.processor = "HARROW";
  for (const std::vector<CSectionRecord>& sections : flashes) {
    product.AddFlash(CFlashRecord{});
    for (const CSectionRecord& section : sections) product.AddSection(section);
  }
  return product;
}

// A list that must be replaced, not extended.
SectorList StaleList() {
  SectorList list;
  list.sectors.push_back({0xDEAD0000, 1, "OLD", 1});
  list.magicKeyPartition = "ALWAYS";
  list.processorName = "OLD";
  return list;
}

TEST(CopyProductRecord, ProductWithoutFlashGivesAnEmptyListWithTheNames) {
  SectorList list = StaleList();
  CopyProductRecord(CProductRecord{}, list);
  EXPECT_TRUE(list.sectors.empty());
  EXPECT_EQ(list.magicKeyPartition, "CODE");
  EXPECT_EQ(list.processorName, "UNKNOWN");
}

TEST(CopyProductRecord, ExpandsEachSectionIntoItsSectors) {
  SectorList list = StaleList();
  CopyProductRecord(ProductWith({{{0x4000, 0x1000, 3, "CODE"}}}), list);
  const std::vector<SectorEntry> expected = {
      {0x4000, 0x1000, "CODE", 0}, {0x5000, 0x1000, "CODE", 0}, {0x6000, 0x1000, "CODE", 0}};
  EXPECT_EQ(list.sectors, expected);
  EXPECT_EQ(list.processorName, "HARROW");
  EXPECT_EQ(list.magicKeyPartition, "CODE");
}

TEST(CopyProductRecord, FollowsFileOrderNotAddressOrderAndSkipsEmptySections) {
  SectorList list;
  CopyProductRecord(ProductWith({{{0x8000, 0x100, 1, "HIGH"}, {0x9000, 0, 5, "NOSIZE"}},
                                 {{0x0, 0x100, 0, "NOCOUNT"}, {0x0, 0x100, 2, "LOW"}}}),
                    list);
  const std::vector<SectorEntry> expected = {
      {0x8000, 0x100, "HIGH", 0}, {0x0, 0x100, "LOW", 0}, {0x100, 0x100, "LOW", 0}};
  EXPECT_EQ(list.sectors, expected);
}

TEST(CopyProductRecord, TheWorkedExampleGives71Sectors) {
  LogCapture log;
  ProductFileParser parser;
  CProductRecord product;
  ASSERT_EQ(parser.LoadProduct(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                               "radio_b", product),
            1);
  SectorList list;
  CopyProductRecord(product, list);
  ASSERT_EQ(list.sectors.size(), 71u);
  EXPECT_EQ(list.sectors[0], (SectorEntry{0, 0x2000, "CODE", 0}));
  EXPECT_EQ(list.sectors[7], (SectorEntry{0xE000, 0x2000, "CODE", 0}));
  EXPECT_EQ(list.sectors[8], (SectorEntry{0x10000, 0x10000, "CODE", 0}));
  EXPECT_EQ(list.sectors[70], (SectorEntry{0x3F0000, 0x10000, "CODE", 0}));
  EXPECT_EQ(list.processorName, "HARROW");
  EXPECT_TRUE(log.Take().empty());
}

}  // namespace
