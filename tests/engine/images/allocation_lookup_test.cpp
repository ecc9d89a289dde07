// Allocation look-ups over a sector list: which sector holds an address,
// how much room an allocation leaves, and the failures with their log lines.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/images/allocation_lookup.h"
#include "platform/target_registry.h"

namespace {

SectorList MakeSectors(const std::vector<SectorEntry>& entries) {
  SectorList list;
  list.sectors = entries;
  return list;
}

// CODE 0x1000-0x3FFF in three sectors, a gap, FLASHPACK 0x8000-0x9FFF, then
// CODE again at 0xA000 and a CODE sector after a gap at 0xC000.
const SectorList kSectors = MakeSectors({
    {0x1000, 0x1000, "CODE", 0},
    {0x2000, 0x1000, "CODE", 0},
    {0x3000, 0x1000, "CODE", 0},
    {0x8000, 0x1000, "FLASHPACK", 0},
    {0x9000, 0x1000, "FLASHPACK", 0},
    {0xA000, 0x1000, "CODE", 0},
    {0xC000, 0x1000, "CODE", 0},
});

struct FindCase {
  std::uint32_t address;
  int index;
  int result;
};

TEST(FindSectorIndex, LastSectorStartingAtOrBelowTheAddress) {
  const FindCase cases[] = {
      {0x0FFF, -1, 91}, {0x1000, 0, 0}, {0x1FFF, 0, 0}, {0x2000, 1, 0}, {0x3FFF, 2, 0},
      {0x4000, 2, 91},  {0x7FFF, 2, 91}, {0x8000, 3, 0}, {0xB000, 5, 91}, {0xC000, 6, 0},
      {0xD000, 6, 91},  {0xFFFFFFFF, 6, 91},
  };
  for (const auto& c : cases) {
    int index = 99;
    EXPECT_EQ(FindSectorIndex(index, c.address, kSectors), c.result) << std::hex << c.address;
    EXPECT_EQ(index, c.index) << std::hex << c.address;
  }
  int index = 99;
  EXPECT_EQ(FindSectorIndex(index, 0x1000, SectorList{}), 91);
  EXPECT_EQ(index, -1);
}

struct RemainingCase {
  std::uint32_t address;
  int result;
  std::uint32_t length;
  int indexAfter;
};

TEST(AllocationRemaining, RoomToTheEndOfTheRunOfEquallyNamedSectors) {
  const RemainingCase cases[] = {
      {0x1000, 0, 0x3000, 3},  // all three CODE sectors
      {0x2800, 0, 0x1800, 3},
      {0x3FFF, 0, 1, 3},
      {0x8000, 0, 0x2000, 5},  // FLASHPACK; the CODE sector after it is another run
      {0xA000, 0, 0x1000, 6},  // a same-named sector after a gap does not continue the run
      {0x4000, 91, 0, 2},
  };
  for (const auto& c : cases) {
    std::uint32_t length = 0;
    int index = 0;
    EXPECT_EQ(AllocationRemaining(length, c.address, index, kSectors), c.result) << std::hex << c.address;
    if (c.result == 0) {
      EXPECT_EQ(length, c.length) << std::hex << c.address;
      EXPECT_EQ(index, c.indexAfter) << std::hex << c.address;
    }
  }
}

TEST(AllocationNameAt, NameOfTheSectorHoldingTheAddress) {
  EXPECT_EQ(AllocationNameAt(0x1800, kSectors), "CODE");
  EXPECT_EQ(AllocationNameAt(0x9FFF, kSectors), "FLASHPACK");
  EXPECT_EQ(AllocationNameAt(0x4000, kSectors), "");
  // Overlapping sectors: the last one in list order wins.
  const SectorList overlapping = MakeSectors({{0x0, 0x2000, "A", 0}, {0x1000, 0x1000, "B", 0}});
  EXPECT_EQ(AllocationNameAt(0x1800, overlapping), "B");
  EXPECT_EQ(AllocationNameAt(0x0800, overlapping), "A");
}

TEST(AllocationSize, SumOfAllSectorsWithTheName) {
  EXPECT_EQ(AllocationSize("CODE", kSectors), 0x5000u);
  EXPECT_EQ(AllocationSize("FLASHPACK", kSectors), 0x2000u);
  EXPECT_EQ(AllocationSize("THEMEPACK", kSectors), 0u);
}

class AllocationFailures : public ::testing::Test {
 protected:
  void SetUp() override { SetTargetThread(PT_USER_IO, log_.handle()); }
  void TearDown() override { SetTargetThread(PT_USER_IO, platform::kNoHandle); }
  std::string NextLogLine() {
    auto message = log_.queue().TakeMatching(WM_LOG_LINE, WM_LOG_LINE, std::chrono::seconds(5));
    if (!message) return "(none)";
    auto text = message->Take<WM_LOG_LINE>();
    return text ? *text : "(no text)";
  }
  platform::RegisteredQueue log_;
};

TEST_F(AllocationFailures, AddressOfAnAllocation) {
  EXPECT_EQ(AllocationAddress("FLASHPACK", kSectors), 0x8000u);
  EXPECT_EQ(AllocationAddress("CODE", kSectors), 0x1000u);
  EXPECT_ANY_THROW(AllocationAddress("CSD", kSectors));
  EXPECT_EQ(NextLogLine(), "Error> No allocation for CSD in .qlp file");
}

TEST_F(AllocationFailures, FlashBaseNeedsAProduct) {
  EXPECT_EQ(FlashBaseAddress(kSectors), 0x1000u);
  EXPECT_ANY_THROW(FlashBaseAddress(SectorList{}));
  EXPECT_EQ(NextLogLine(), "Error> No product is selected");
}

TEST(AllocationLookupOptions, OptionsOverloadsReadTheOptionsSectorList) {
  CJobOptions options;
  options.SetSectorList(kSectors);
  EXPECT_EQ(AllocationAddress("FLASHPACK", options), 0x8000u);
  EXPECT_EQ(AllocationNameAt(0x2000, options), "CODE");
  EXPECT_EQ(FlashBaseAddress(options), 0x1000u);
  EXPECT_EQ(AllocationSize("CODE", options), 0x5000u);
  int index = 0;
  std::uint32_t length = 0;
  EXPECT_EQ(FindSectorIndex(index, 0x9000, options), 0);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(AllocationRemaining(length, 0x9000, index, options), 0);
  EXPECT_EQ(length, 0x1000u);
}

}  // namespace
