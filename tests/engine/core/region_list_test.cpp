#include "engine/core/region_list.h"
#include "engine/core/duplicating_region_list.h"

#include <gtest/gtest.h>

#include <cstring>

#include "counting_registry.h"

namespace {

TEST(RegionList, ReleasingAListReleasesEachBufferOnce) {
  CountingRegistry counting;
  RegionListPtr list = MakeFilledList(3);
  std::uint8_t* shared = (*list)[0].buffer;
  list->Add(0x90000, 8, shared);  // a second region in the first buffer
  list->Add(0xA0000, 64);         // a sector without a buffer
  std::uint8_t* buffers[] = {(*list)[0].buffer, (*list)[1].buffer, (*list)[2].buffer};
  list.reset();
  for (auto* b : buffers) EXPECT_EQ(counting.FreesOf(b), 1);
  EXPECT_EQ(counting.TotalFrees(), 3);
  EXPECT_EQ(counting.Outstanding(), 0u);
  ReleaseRegionList(nullptr);
}

TEST(RegionList, DuplicateHasItsOwnBuffersWithTheSameContents) {
  CountingRegistry counting;
  RegionListPtr list = MakeFilledList(2, 32);
  list->Add(0x30000, 16);
  RegionListPtr copy = DuplicateRegionList(*list);
  ASSERT_EQ(copy->Count(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ((*copy)[i].address, (*list)[i].address);
    EXPECT_EQ((*copy)[i].length, (*list)[i].length);
    EXPECT_NE((*copy)[i].buffer, (*list)[i].buffer);
    EXPECT_EQ(std::memcmp((*copy)[i].buffer, (*list)[i].buffer, 32), 0);
    EXPECT_EQ(GetBufferRegistry().ReferenceCount((*copy)[i].buffer), 1);
  }
  EXPECT_EQ((*copy)[2].buffer, nullptr);
  (*copy)[0].buffer[0] = 0xEE;  // writing one never shows in the other
  EXPECT_NE((*list)[0].buffer[0], 0xEE);
  list.reset();
  copy.reset();
  EXPECT_EQ(counting.TotalFrees(), 4);
  EXPECT_EQ(counting.Outstanding(), 0u);
}

TEST(RegionList, ShareTakesOneMoreReference) {
  CountingRegistry counting;
  RegionListPtr list = MakeFilledList(2);
  RegionListPtr shared = ShareRegionList(*list);
  EXPECT_EQ((*shared)[1].buffer, (*list)[1].buffer);
  EXPECT_EQ(GetBufferRegistry().ReferenceCount((*list)[1].buffer), 2);
  list.reset();
  EXPECT_EQ(counting.TotalFrees(), 0);
  shared.reset();
  EXPECT_EQ(counting.TotalFrees(), 2);
}

TEST(RegionList, PlainOwnerHandsOverToAReleasingOwner) {
  CountingRegistry counting;
  auto plain = std::make_unique<CRegionList>();
  plain->Add(0, 4, GetBufferRegistry().Allocate(4));
  RegionListPtr owned = std::move(plain);
  owned.reset();
  EXPECT_EQ(counting.TotalFrees(), 1);
}

TEST(DuplicatingRegionList, ACopyHasItsOwnBuffersAndAMoveHandsTheListOver) {
  CountingRegistry counting;
  DuplicatingRegionListPtr list = MakeFilledList(2);
  CRegionList* original = list.get();
  DuplicatingRegionListPtr copy = list;
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->Count(), 2u);
  EXPECT_NE(copy.get(), original);
  EXPECT_NE((*copy)[0].buffer, (*list)[0].buffer);
  EXPECT_EQ((*copy)[1].address, (*list)[1].address);

  DuplicatingRegionListPtr moved = std::move(list);
  EXPECT_EQ(moved.get(), original);
  EXPECT_EQ(counting.TotalFrees(), 0);

  copy = DuplicatingRegionListPtr();  // the copy's two buffers go with it
  EXPECT_EQ(counting.TotalFrees(), 2);
  EXPECT_FALSE(copy);
  DuplicatingRegionListPtr copyOfNothing = copy;
  EXPECT_TRUE(copyOfNothing == nullptr);
  moved = copyOfNothing;  // assigning a copy releases what was held
  EXPECT_EQ(counting.TotalFrees(), 4);
  EXPECT_EQ(counting.Outstanding(), 0u);
}

}  // namespace
