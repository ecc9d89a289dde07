#include "engine/product/product_record.h"

#include <gtest/gtest.h>

namespace {

CFlashRecord Flash(const char* name) {
  CFlashRecord flash;
  flash.name = name;
  return flash;
}

TEST(ProductRecord, StartsWithDefaults) {
  CProductRecord record;
  EXPECT_EQ(record.name, "");
  EXPECT_EQ(record.processor, "UNKNOWN");
  EXPECT_TRUE(record.flashes.empty());
  EXPECT_EQ(record.currentFlash, -1);
}

TEST(ProductRecord, PartitionsAndSectionsGoToTheFlashAddedLast) {
  CProductRecord record;
  EXPECT_EQ(record.AddFlash(Flash("first")), 0);
  record.AddSection({0x4000, 0x1000, 3, "CODE"});
  EXPECT_EQ(record.AddFlash(Flash("second")), 1);
  record.AddPartition({"boot", 0x10000, "code", 1});
  record.AddSection({0, 0x2000, 1, "DATA"});
  record.AddSection({0x2000, 0x2000, 2, "CODE"});

  ASSERT_EQ(record.flashes.size(), 2u);
  EXPECT_EQ(record.currentFlash, 1);
  EXPECT_EQ(record.flashes[0].sections, (std::vector<CSectionRecord>{{0x4000, 0x1000, 3, "CODE"}}));
  EXPECT_TRUE(record.flashes[0].partitions.empty());
  EXPECT_EQ(record.flashes[1].partitions, (std::vector<CPartitionRecord>{{"boot", 0x10000, "code", 1}}));
  EXPECT_EQ(record.flashes[1].sections.size(), 2u);
}

TEST(ProductRecord, AddingWithoutAFlashPartChangesNothing) {
  CProductRecord record;
  record.AddSection({0, 0x1000, 1, "CODE"});
  record.AddPartition({"boot", 0, "", 0});
  EXPECT_EQ(record, CProductRecord());
}

TEST(ProductRecord, ResetAfterALoadRestoresTheDefaults) {
  CProductRecord record;
  record.name = "RADIO_A";
  record.processor = "HARROW";
  record.AddFlash(Flash("main"));
  record.AddSection({0, 0x1000, 1, "CODE"});
  record.Reset();
  EXPECT_EQ(record, CProductRecord());
  EXPECT_EQ(record.processor, "UNKNOWN");
  EXPECT_EQ(record.currentFlash, -1);
}

TEST(ProductRecord, CopiesAreIndependent) {
  CProductRecord original;
  original.AddFlash(Flash("main"));
  original.AddSection({0, 0x1000, 1, "CODE"});
  CProductRecord copy = original;
  copy.AddSection({0x1000, 0x1000, 1, "DATA"});
  copy.flashes[0].name = "other";
  EXPECT_EQ(original.flashes[0].sections.size(), 1u);
  EXPECT_EQ(original.flashes[0].name, "main");
}

}  // namespace
