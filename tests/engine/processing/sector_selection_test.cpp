// The sector choices of the flash, erase and reverse-flash starters.

#include <gtest/gtest.h>

#include "engine/core/buffer_registry.h"
#include "engine/processing/sector_selection.h"

namespace {

// CODE: three sectors of one partition; CODEPLUG: two; DATA: one.
CJobOptions ProductOptions(std::vector<std::uint32_t> selected = {}, std::string magicKey = "CODE") {
  SectorList list;
  list.magicKeyPartition = std::move(magicKey);
  const std::pair<std::uint32_t, const char*> sectors[] = {
      {0x10000, "CODE"}, {0x20000, "CODE"}, {0x30000, "CODE"}, {0x40000, "CODEPLUG"}, {0x50000, "CODEPLUG"},
      {0x60000, "DATA"}};
  for (auto [address, name] : sectors) list.sectors.push_back(SectorEntry{address, 0x10000, name, 0});
  for (std::uint32_t index : selected) list.sectors[index].selected = 1;
  CJobOptions options;
  options.SetSectorList(list);
  return options;
}

std::vector<std::uint32_t> Addresses(const CRegionList& list) {
  std::vector<std::uint32_t> addresses;
  for (const auto& region : list) addresses.push_back(region.address);
  return addresses;
}

TEST(SectorSelection, SelectedSectorsAreExactlyTheUsersChoice) {
  CRegionList erase;
  BuildSelectedSectorList(ProductOptions({0, 5}).GetSectorList(), erase);
  EXPECT_EQ(Addresses(erase), (std::vector<std::uint32_t>{0x10000, 0x60000}));
  EXPECT_EQ(erase[0].length, 0x10000u);
  EXPECT_EQ(erase[0].buffer, nullptr);
}

TEST(SectorSelection, ImageTouchingOneSectorSelectsItsWholePartition) {
  CJobOptions options = ProductOptions({5});
  CRegionList image;
  image.Add(0x2FFF0, 0x20);  // the end of the second CODE sector and the start of the third
  CRegionList erase;
  SelectSectorsFromImage(erase, options, image);
  EXPECT_EQ(Addresses(erase), (std::vector<std::uint32_t>{0x10000, 0x20000, 0x30000}));
  const SectorList written = options.GetSectorList();
  EXPECT_EQ(written.sectors[0].selected, 1u);
  EXPECT_EQ(written.sectors[5].selected, 0u) << "the earlier choice is replaced";
}

TEST(SectorSelection, ImageOutsideEverySectorSelectsNothing) {
  CJobOptions options = ProductOptions({0});
  CRegionList image;
  image.Add(0x70000, 0x100);
  CRegionList erase;
  SelectSectorsFromImage(erase, options, image);
  EXPECT_TRUE(erase.Empty());
}

TEST(SectorSelection, MagicKeyFollowsTheSelectionOrAlways) {
  EXPECT_EQ(MagicKeyWanted(ProductOptions({1}, "CODE")), 1);
  EXPECT_EQ(MagicKeyWanted(ProductOptions({5}, "CODE")), 0);
  EXPECT_EQ(MagicKeyWanted(ProductOptions({}, "ALWAYS")), 1);
}

TEST(SectorSelection, CodeplugRangeAndItsAbsence) {
  SectorRange range;
  ASSERT_TRUE(FindSectorRangeByName("CODEPLUG", ProductOptions(), range));
  EXPECT_EQ(range.first, 0x40000u);
  EXPECT_EQ(range.sectorSize, 0x10000u);
  EXPECT_EQ(range.count, 2u);
  EXPECT_FALSE(FindSectorRangeByName("FLASHPACK", ProductOptions(), range));
}

TEST(SectorSelection, ReadRegionsAreCutAtBothEndsOfTheRangeWithBuffersOfTheirOwn) {
  CRegionList regions;
  std::uint8_t* buffer = GetBufferRegistry().Allocate(0x40000);
  regions.Add(0x30000, 0x40000, buffer);  // crosses both ends of [0x40000, 0x60000)
  const SectorRange range{0x40000, 0x10000, 2};
  SplitReadRegionsAtRange(regions, range);
  ASSERT_EQ(regions.Count(), 3u);
  EXPECT_EQ(Addresses(regions), (std::vector<std::uint32_t>{0x30000, 0x40000, 0x60000}));
  EXPECT_EQ(regions[0].length + regions[1].length + regions[2].length, 0x40000u);
  EXPECT_EQ(regions[0].buffer, buffer);
  for (const auto& region : regions) EXPECT_EQ(GetBufferRegistry().ReferenceCount(region.buffer), 1);
  ReleaseRegionList(new CRegionList(std::move(regions)));
  EXPECT_EQ(GetBufferRegistry().ReferenceCount(buffer), 0);
}

TEST(SectorSelection, RegionsInsideOrOutsideTheRangeStayWhole) {
  CRegionList regions;
  regions.Add(0x40000, 0x20000);
  regions.Add(0x10000, 0x100);
  SplitReadRegionsAtRange(regions, SectorRange{0x40000, 0x10000, 2});
  EXPECT_EQ(Addresses(regions), (std::vector<std::uint32_t>{0x10000, 0x40000}));
}

}  // namespace
