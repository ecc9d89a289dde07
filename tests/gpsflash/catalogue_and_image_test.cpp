// The flash part catalogue, the sector map and the image reader.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "flash_parts.h"
#include "gps_sim/flash_geometry.h"
#include "image_file.h"
#include "platform/temp_folder.h"

namespace {

using ambrel::FlashPartRecord;

std::vector<FlashPartRecord> Parts() {
  std::vector<FlashPartRecord> parts;
  EXPECT_TRUE(ambrel::BuildPartList(ambrel::FlashPartTable(), parts));
  return parts;
}

TEST(FlashParts, TwentyTwoPartsWhoseRegionsFillThem) {
  const auto parts = Parts();
  ASSERT_EQ(parts.size(), 22u);
  const auto* a = ambrel::FindPartById(parts, 0x0001, 0x2249);
  const auto* b = ambrel::FindPartById(parts, 0x0004, 0x2249);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->partName, "AM29LV160DB");
  EXPECT_EQ(b->partName, "29LV160BE");
  EXPECT_EQ(ambrel::FindPartById(parts, 0x001F, 0x1692), nullptr) << "AT49BV4096A answers 0x161F";
  EXPECT_EQ(ambrel::FindPartById(parts, 0x161F, 0x1692)->partName, "AT49BV4096A");
  EXPECT_EQ(ambrel::VendorOfManufacturer(parts, 0x0089), "INTEL");
  EXPECT_TRUE(ambrel::FindPartById(parts, 0x0089, 0x88C1)->unlockSectors);
  EXPECT_EQ(ambrel::FindPartById(parts, 0x0089, 0x88C1)->driver.length, 5624u);
  EXPECT_EQ(ambrel::FindPartById(parts, 0x0020, 0x00EE)->driver.length, 5608u);
}

TEST(FlashParts, ARowWhoseRegionsMissTheSizeStopsTheBuild) {
  std::vector<ambrel::FlashPartRow> rows = ambrel::FlashPartTable();
  rows[3].size += 0x1000;
  std::vector<FlashPartRecord> parts;
  EXPECT_FALSE(ambrel::BuildPartList(rows, parts));
}

TEST(FlashParts, SectorMapsRunUpFromOffsetZero) {
  const auto parts = Parts();
  const auto top = ambrel::BuildSectorMap(*ambrel::FindPartById(parts, 0x0020, 0x00EE));
  ASSERT_EQ(top.GetSectorCount(), 11u);
  EXPECT_EQ(top.sectors[6].start, 6 * 0x10000u);
  EXPECT_EQ(top.sectors[7].size, 0x8000u);
  EXPECT_EQ(top.sectors[10].start, 0x7C000u);
  EXPECT_EQ(top.sectors[10].size, 0x4000u);
  EXPECT_EQ(top.largestSectorKb, 64u);
  EXPECT_EQ(top.FindSector(0x7BFFF), 9u);
  EXPECT_FALSE(top.FindSector(0x80000));
  const auto sst = ambrel::BuildSectorMap(*ambrel::FindPartById(parts, 0x00BF, 0x2782));
  EXPECT_EQ(sst.GetSectorCount(), 512u);
  EXPECT_EQ(sst.largestSectorKb, 4u);
  EXPECT_EQ(ambrel::BuildSectorMap(*ambrel::FindPartById(parts, 0x161F, 0x1692)).largestSectorKb, 480u);
}

TEST(FlashParts, TheSimulatorKnowsTheSameParts) {
  // Two separate tables: a slip in either shows here.
  const auto parts = Parts();
  ASSERT_EQ(gps_sim::KnownFlashParts().size(), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const auto& sim = gps_sim::KnownFlashParts()[i];
    EXPECT_EQ(sim.name, parts[i].partName);
    EXPECT_EQ(sim.manufacturerId, parts[i].manufacturerId);
    EXPECT_EQ(sim.deviceId, parts[i].deviceId);
    EXPECT_EQ(sim.size, parts[i].size);
    EXPECT_EQ(sim.lockedAtPowerUp, parts[i].unlockSectors);
  }
}

class ImageFile : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = platform::MakeTemporaryFolder("ambrel-image-"); }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string folder_;
};

TEST_F(ImageFile, OneByteBinaryIsOneBlock) {
  const std::string path = Write("one.bin", "\x42");
  const auto limits = ambrel::ScanImageFile(ambrel::ImageFileType::Detect, path);
  ASSERT_TRUE(limits);
  ambrel::ImageBuffer image;
  ASSERT_TRUE(image.Allocate(limits->low, limits->high));
  ASSERT_TRUE(ambrel::LoadImageFile(ambrel::ImageFileType::Binary, path, image));
  EXPECT_EQ(image.size, 1024u);
  EXPECT_EQ(image.data[0], 0x42);
  EXPECT_EQ(image.data[1], 0xFF);
  EXPECT_GE(image.data.size(), 1024u + ambrel::kCoderSpare);
  EXPECT_EQ(std::count(image.valid.begin(), image.valid.end(), 1), 1);
  EXPECT_EQ(image.blockMap, std::vector<std::uint8_t>{1});
}

TEST_F(ImageFile, SrecordLimitsAreRoundedToBlocks) {
  // Data at 0x0FFE..0x1001, lines ending in CR LF, a blank line among them.
  const std::string path = Write("a.s19", "S00600004844521B\r\n\r\nS1070FFE0102030468\r\nS9030000FC\r\n");
  ASSERT_EQ(ambrel::ResolveImageFileType(ambrel::ImageFileType::Detect, path), ambrel::ImageFileType::SRecord);
  const auto limits = ambrel::ScanImageFile(ambrel::ImageFileType::Detect, path);
  ASSERT_TRUE(limits);
  EXPECT_EQ(limits->low, 0x0FFEu);
  EXPECT_EQ(limits->high, 0x1001u);
  ambrel::ImageBuffer image;
  ASSERT_TRUE(image.Allocate(limits->low, limits->high));
  ASSERT_TRUE(ambrel::LoadImageFile(ambrel::ImageFileType::SRecord, path, image));
  EXPECT_EQ(image.adjustedLow, 0x0C00u);
  EXPECT_EQ(image.size, 0x800u);
  EXPECT_EQ(image.blockMap, (std::vector<std::uint8_t>{1, 1}));
  EXPECT_EQ(image.data[0x3FE], 1);
  EXPECT_EQ(image.data[0x401], 4);
  const auto runs = ambrel::NextDataSegment(image.valid.data(), image.size);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].offset, 0x3FEu);
  EXPECT_EQ(runs[0].length, 4u);
}

TEST_F(ImageFile, BadLinesFailTheRead) {
  const std::string longData(250 * 2, 'A');
  const struct {
    const char* name;
    std::string text;
    bool readable;
  } cases[] = {
      {"S5 record", "S00600004844521B\nS5030000FC\n", false},
      {"not a record", "S00600004844521B\nhello\n", false},
      {"bad hex digit", "S00600004844521B\nS1070FFE01G2030468\n", false},
      {"line too short for its count", "S00600004844521B\nS1070FFE0102\n", false},
      {"count below the address", "S00600004844521B\nS1010FFE\n", false},
      {"515 characters", "S00600004844521B\nS3FF00000000" + longData + "00 \r\n", true},
      {"516 characters", "S00600004844521B\nS3FF00000000" + longData + "00  \n", false},
      {"no data records", "S00600004844521B\nS9030000FC\n", false},
      {"S3 past 4 GB", "S00600004844521B\nS307FFFFFFFF0102FF\n", false},
  };
  for (const auto& c : cases) {
    const std::string path = Write("bad.s19", c.text);
    EXPECT_EQ(ambrel::ScanImageFile(ambrel::ImageFileType::SRecord, path).has_value(), c.readable) << c.name;
  }
}

TEST_F(ImageFile, TypeTwoDecidesByContent) {
  EXPECT_EQ(ambrel::ResolveImageFileType(ambrel::ImageFileType::Detect, Write("b.bin", "Sxyz")),
            ambrel::ImageFileType::Binary);
  EXPECT_EQ(ambrel::ResolveImageFileType(ambrel::ImageFileType::Detect, Write("c.bin", "\x01\x02")),
            ambrel::ImageFileType::Binary);
  EXPECT_EQ(ambrel::ResolveImageFileType(ambrel::ImageFileType::Detect, Write("d.s19", "S1030000FC\n")),
            ambrel::ImageFileType::SRecord);
  EXPECT_FALSE(ambrel::CanOpenImageFile(Write("e.bin", "")));
  EXPECT_FALSE(ambrel::CanOpenImageFile(folder_ + "/none"));
}

}  // namespace
