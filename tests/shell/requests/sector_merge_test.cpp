#include "shell/requests/sector_merge.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct MergeCase {
  const char* name;
  std::vector<SectorEntry> sectors;
  std::vector<ImageRegion> existing;  // ranges already in the list
  std::vector<ImageRegion> expected;
};

SectorEntry Sel(std::uint32_t address, std::uint32_t size) { return {address, size, "CODE", 1}; }
SectorEntry Off(std::uint32_t address, std::uint32_t size) { return {address, size, "CODE", 0}; }

class SectorMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(SectorMerge, RangesInListOrderAndMergedSelectionsCleared) {
  const MergeCase& c = GetParam();
  SectorList selection;
  selection.sectors = c.sectors;
  CRegionList ranges;
  for (const auto& r : c.existing) ranges.Add(r);

  MergeSelectedSectors(ranges, selection);

  std::vector<ImageRegion> got(ranges.begin(), ranges.end());
  ASSERT_EQ(got.size(), c.expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].address, c.expected[i].address) << "range " << i;
    EXPECT_EQ(got[i].length, c.expected[i].length) << "range " << i;
    EXPECT_EQ(got[i].buffer, nullptr);
  }
  for (std::size_t i = 0; i < selection.sectors.size(); ++i) {
    const std::uint32_t was = c.sectors[i].selected;
    EXPECT_EQ(selection.sectors[i].selected, was == 1 ? 0u : was) << "sector " << i;
    EXPECT_EQ(selection.sectors[i].address, c.sectors[i].address);
    EXPECT_EQ(selection.sectors[i].size, c.sectors[i].size);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SectorMerge,
    ::testing::Values(
        MergeCase{"NothingSelected", {Off(0, 0x1000), Off(0x1000, 0x1000)}, {}, {}},
        MergeCase{"TwoNeighboursAndAGap",
                  {Sel(0x0, 0x1000), Sel(0x1000, 0x1000), Sel(0x4000, 0x2000)},
                  {},
                  {{0x0, 0x2000, nullptr}, {0x4000, 0x2000, nullptr}}},
        MergeCase{"AnUnselectedSectorBetweenNeighboursSplits",
                  {Sel(0x0, 0x1000), Off(0x1000, 0x1000), Sel(0x2000, 0x1000)},
                  {},
                  {{0x0, 0x1000, nullptr}, {0x2000, 0x1000, nullptr}}},
        MergeCase{"UnsortedListGivesSeveralRanges",
                  {Sel(0x1000, 0x1000), Sel(0x0, 0x1000)},
                  {},
                  {{0x1000, 0x1000, nullptr}, {0x0, 0x1000, nullptr}}},
        MergeCase{"ContinuesTheRangeAlreadyInTheList",
                  {Sel(0x8000, 0x800)},
                  {{0x7000, 0x1000, nullptr}},
                  {{0x7000, 0x1800, nullptr}}},
        MergeCase{"SelectedFlagOtherThanOneIsSkipped",
                  {{0x0, 0x1000, "CODE", 2}, Sel(0x1000, 0x1000)},
                  {},
                  {{0x1000, 0x1000, nullptr}}},
        MergeCase{"NoMergeAcrossTheEndOfTheAddressSpace",
                  {Sel(0xFFFFF000u, 0x1000), Sel(0x0, 0x1000)},
                  {},
                  {{0xFFFFF000u, 0x1000, nullptr}, {0x0, 0x1000, nullptr}}}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return std::string(info.param.name); });

}  // namespace
