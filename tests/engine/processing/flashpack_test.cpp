// The flashpack device's pack set over the flashpack library.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "engine/core/region_list.h"
#include "engine/flashpack/flashpack.h"
#include "lumbrapack/pack_manager.h"

namespace {

std::vector<unsigned char> Pack(const std::u16string& name, std::size_t size,
                                lumbrapack::PackType type = lumbrapack::kLanguagePack) {
  lumbrapack::PackFileFields fields;
  fields.type = type;
  fields.name = name;
  return lumbrapack::BuildPackFile(fields, std::vector<unsigned char>(size, 0x5A));
}

class FlashpackDevice : public ::testing::Test {
 protected:
  FlashpackDevice() : flashpack_(KernelSettingsRecord{}) {}
  void Extract(std::size_t partitionSize = 4096) {
    std::vector<std::uint8_t> erased(partitionSize, 0xFF);
    flashpack_.ReplacePackManager(erased.data(), static_cast<std::uint32_t>(erased.size()));
  }
  // An image of one region per pack file, in registry buffers.
  RegionListPtr Image(const std::vector<std::vector<unsigned char>>& packs) {
    RegionListPtr image = MakeRegionList();
    std::uint32_t address = 0;
    for (const auto& pack : packs) {
      std::uint8_t* buffer = GetBufferRegistry().Allocate(pack.size());
      std::copy(pack.begin(), pack.end(), buffer);
      image->Add(address, static_cast<std::uint32_t>(pack.size()), buffer);
      address += static_cast<std::uint32_t>(pack.size());
    }
    return image;
  }
  std::vector<std::u16string> Names() {
    std::vector<std::u16string> names;
    CPackManager* packs = flashpack_.GetPackManager();
    for (std::uint16_t i = 1; i <= packs->m_packCount; ++i) {
      lumbrapack::PackRecord record{};
      packs->PackInfo(i, &record);
      std::u16string name;
      for (int c = 0; c < 50; ++c) {
        const char16_t unit = static_cast<char16_t>(record.name[2 * c] << 8 | record.name[2 * c + 1]);
        if (unit == 0) break;
        name += unit;
      }
      names.push_back(name);
    }
    return names;
  }

  CFlashpack flashpack_;
};

TEST_F(FlashpackDevice, EveryCallBeforeAnExtractIsRefusedWith79) {
  RegionListPtr image = Image({Pack(u"A", 10)});
  EXPECT_EQ(flashpack_.AddPacks(image.get()), 79);
  EXPECT_EQ(flashpack_.RemovePacks({1}), 79);
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(flashpack_.GetPackImage(bytes), 79);
  EXPECT_EQ(flashpack_.GetPackManager(), nullptr);
}

TEST_F(FlashpackDevice, AddingStopsAtTheFirstRefusedPackAndKeepsTheOnesBefore) {
  Extract();
  RegionListPtr image = Image({Pack(u"English", 100), Pack(u"English", 50), Pack(u"French", 100)});
  EXPECT_EQ(flashpack_.AddPacks(image.get()), 87);  // "Matching flashpack exists"
  EXPECT_EQ(Names(), (std::vector<std::u16string>{u"English"}));
}

TEST_F(FlashpackDevice, NoRoomAndNoRegionsGiveTheirOwnCodes) {
  Extract(512);
  RegionListPtr big = Image({Pack(u"Big", 1000)});
  EXPECT_EQ(flashpack_.AddPacks(big.get()), 80);
  RegionListPtr none = MakeRegionList();
  EXPECT_EQ(flashpack_.AddPacks(none.get()), 88);
  EXPECT_EQ(flashpack_.AddPacks(nullptr), 0);
}

TEST_F(FlashpackDevice, RemovalGoesFromTheHighestIndexDownWithoutDuplicates) {
  Extract();
  RegionListPtr image = Image({Pack(u"P1", 10), Pack(u"P2", 10), Pack(u"P3", 10), Pack(u"P4", 10), Pack(u"P5", 10)});
  ASSERT_EQ(flashpack_.AddPacks(image.get()), 0);
  EXPECT_EQ(flashpack_.RemovePacks({1, 4, 1}), 0);
  EXPECT_EQ(Names(), (std::vector<std::u16string>{u"P2", u"P3", u"P5"}));
  EXPECT_EQ(flashpack_.RemovePacks({9}), 81);  // "Invalid flashpack index"
}

TEST_F(FlashpackDevice, PackImageRebuildsTheSameSet) {
  Extract();
  RegionListPtr image = Image({Pack(u"Theme", 64, lumbrapack::kThemePack)});
  ASSERT_EQ(flashpack_.AddPacks(image.get()), 0);
  std::vector<std::uint8_t> partition;
  ASSERT_EQ(flashpack_.GetPackImage(partition), 0);
  ASSERT_FALSE(partition.empty());
  CFlashpack other{KernelSettingsRecord{}};
  other.ReplacePackManager(partition.data(), static_cast<std::uint32_t>(partition.size()));
  EXPECT_EQ(other.GetPackManager()->m_packCount.load(), 1);
}

TEST_F(FlashpackDevice, AShareOutlivesTheNextExtract) {
  Extract();
  RegionListPtr image = Image({Pack(u"Kept", 10)});
  ASSERT_EQ(flashpack_.AddPacks(image.get()), 0);
  std::shared_ptr<CPackManager> share = flashpack_.SharePackManager();
  Extract();
  EXPECT_EQ(share->m_packCount.load(), 1);
  EXPECT_EQ(flashpack_.GetPackManager()->m_packCount.load(), 0);
}

TEST(FlashpackResults, LibraryAnswersMapToEngineCodes) {
  const std::pair<int, int> cases[] = {{1, 0}, {-1, 80}, {-2, 81}, {-5, 84}, {-8, 87}, {-9, 88}, {0, 1}, {-10, 1}, {7, 1}};
  for (auto [answer, code] : cases) EXPECT_EQ(MapPackResult(answer), code) << answer;
}

}  // namespace
