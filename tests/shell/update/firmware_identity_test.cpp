#include <gtest/gtest.h>

#include <filesystem>

#include "../support/shell_targets.h"
#include "shell/update/flash_file_info.h"
#include "shell/update/radio_info.h"
#include "update_images.h"

namespace update_test {
namespace {

using shell_test::SRecordText;
using shell_test::WorkingFolder;
using shell_test::WriteTextFile;

struct RadioCase {
  const char* name;
  RadioImageSpec spec;
  // Extra blocks in the read-back (decoys and later markers).
  MemoryBlocks extra;
  bool found;
  std::string version;
  std::string model;
};

RadioImageSpec With(std::function<void(RadioImageSpec&)> change) {
  RadioImageSpec spec;
  change(spec);
  return spec;
}

class RadioInfo : public ::testing::TestWithParam<RadioCase> {
 protected:
  WorkingFolder folder;
};

TEST_P(RadioInfo, ReadsVersionAndModelCodeAndDeletesTheImage) {
  const RadioCase& c = GetParam();
  MemoryBlocks blocks = RadioMemory(c.spec);
  for (const auto& [address, bytes] : c.extra) blocks[address] = bytes;
  WriteTextFile("rev_flash.s19", SRecordText(blocks, 16));

  const auto info = GetRadioInfo("rev_flash.s19");

  EXPECT_FALSE(std::filesystem::exists("rev_flash.s19"));
  ASSERT_EQ(info.has_value(), c.found);
  if (!c.found) return;
  EXPECT_EQ(info->version, c.version);
  EXPECT_EQ(info->modelCode, c.model);
}

MemoryBlocks OddNibbleDecoy() {
  // "04 44 90" holds 4449 between two bytes; a match there would take the
  // code 33 bytes after byte 0 of the record (the half byte cut off): 4E999999.
  MemoryBlocks blocks;
  blocks[0x105D0100] = std::vector<std::uint8_t>(0x40, 0);
  Put(blocks, 0x105D0100, 0x105D0100, {0x04, 0x44, 0x90});
  Put(blocks, 0x105D0100, 0x105D0100 + 33, {0x4E, 0x99, 0x99, 0x99});
  return blocks;
}

MemoryBlocks AddressDecoyThenRealMarker() {
  // A record whose address field holds 4449; a match there would take the
  // code at address + (4 - 12) / 2 + 33. The real marker comes after it.
  MemoryBlocks blocks;
  blocks[0x44490000] = std::vector<std::uint8_t>(0x40, 0);
  Put(blocks, 0x44490000, 0x44490000 - 4 + 33, {0x4E, 0x99, 0x99, 0x99});
  blocks[0x60000000] = std::vector<std::uint8_t>(0x40, 0);
  Put(blocks, 0x60000000, 0x60000010, {0x44, 0x49});
  Put(blocks, 0x60000000, 0x60000010 + 33, HexBytes("4E383231"));
  return blocks;
}

MemoryBlocks LaterRealMarker(std::uint32_t at) {
  MemoryBlocks blocks;
  blocks[at] = std::vector<std::uint8_t>(0x40, 0);
  Put(blocks, at, at + 0x10, {0x44, 0x49});
  Put(blocks, at, at + 0x10 + 33, HexBytes("4E383231"));
  return blocks;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RadioInfo,
    ::testing::Values(
        RadioCase{"Plain", RadioImageSpec{}, {}, true, "0102030405060708", "4E383231"},
        RadioCase{"VersionAcrossTwoLines", With([](auto& s) { s.pointer = 0x10010103; }), {}, true,
                  "0102030405060708", "4E383231"},
        RadioCase{"OtherAcceptedModel", With([](auto& s) { s.model = "52425231"; }), {}, true, "0102030405060708",
                  "52425231"},
        RadioCase{"ModelCodeAcrossTwoLines", With([](auto& s) { s.marker = 0x105D001D; }), {}, true,
                  "0102030405060708", "4E383231"},
        RadioCase{"NoPointerRecord", With([](auto& s) { s.pointerRecord = false; }), {}, false, "", ""},
        RadioCase{"NoModelArea", With([](auto& s) { s.modelArea = false; }), {}, false, "", ""},
        // The FDI-enhanced read-back of smart flashing leaves erased flash
        // out: after an update erased the data area's first unit, the
        // model area's start record (0x105CFFF0) is not in it; the search
        // starts at the first record past it.
        RadioCase{"ModelAreaStartLeftOutAsErased", With([](auto& s) { s.modelArea = false; }),
                  LaterRealMarker(0x105D0000), true, "0102030405060708", "4E383231"},
        RadioCase{"OnlyRecordsBeforeTheModelArea", With([](auto& s) { s.modelArea = false; }),
                  LaterRealMarker(0x105C0000), false, "", ""},
        RadioCase{"AMarkerWithoutAModelCodeIsPassedBy", With([](auto& s) { s.model = "12345678"; }),
                  LaterRealMarker(0x105D0200), true, "0102030405060708", "4E383231"},
        RadioCase{"NoMarkerBetweenBytes",
                  With([](auto& s) { s.model = "00000000"; }),
                  [] {
                    MemoryBlocks b = OddNibbleDecoy();
                    for (auto& [a, bytes] : LaterRealMarker(0x105D0200)) b[a] = bytes;
                    return b;
                  }(),
                  true, "0102030405060708", "4E383231"},
        RadioCase{"NoMarkerInTheAddress", With([](auto& s) { s.model = "00000000"; }), AddressDecoyThenRealMarker(),
                  true, "0102030405060708", "4E383231"},
        RadioCase{"NoAcceptableModelAnywhere", With([](auto& s) { s.model = "00000000"; }), {}, false, "", ""}),
    [](const ::testing::TestParamInfo<RadioCase>& info) { return std::string(info.param.name); });

TEST(RadioInfoFile, AMissingReadBackIsAFailure) {
  WorkingFolder folder;
  EXPECT_FALSE(GetRadioInfo("rev_flash.s19").has_value());
}

struct FirmwareCase {
  const char* name;
  FirmwareSpec spec;
  bool found;
  std::string version;
};

FirmwareSpec Firmware(std::function<void(FirmwareSpec&)> change) {
  FirmwareSpec spec;
  change(spec);
  return spec;
}

class FlashFileVersion : public ::testing::TestWithParam<FirmwareCase> {
 protected:
  WorkingFolder folder;
};

TEST_P(FlashFileVersion, FollowsThePointerInRecordsOfAnyLength) {
  const FirmwareCase& c = GetParam();
  WriteTextFile("su.s19", SRecordText(SuMemory(c.spec), c.spec.recordLength));
  const auto version = ReadFlashFileVersion("su.s19");
  ASSERT_EQ(version.has_value(), c.found);
  if (c.found) {
    EXPECT_EQ(*version, c.version);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlashFileVersion,
    ::testing::Values(
        FirmwareCase{"SeveralLinesOnAndAcrossTwo", FirmwareSpec{}, true, "0102030405060709"},
        FirmwareCase{"SixteenByteRecords", Firmware([](auto& s) { s.recordLength = 16; }), true, "0102030405060709"},
        FirmwareCase{"InThePointersOwnRecord", Firmware([](auto& s) { s.pointer = 0x10010097; }), true,
                     "0102030405060709"},
        FirmwareCase{"InTheRecordWhereTheScanStopped", Firmware([](auto& s) { s.pointer = 0x100100A8; }), true,
                     "0102030405060709"},
        FirmwareCase{"PointerBeforeTheFile", Firmware([](auto& s) { s.pointer = 0x00001000; }), false, ""},
        FirmwareCase{"PointerBeyondTheFile", Firmware([](auto& s) { s.pointer = 0x20000000; }), false, ""}),
    [](const ::testing::TestParamInfo<FirmwareCase>& info) { return std::string(info.param.name); });

TEST(FlashFileVersionEdge, ARecordThatBeginsAtThePointerHoldsIt) {
  WorkingFolder folder;
  MemoryBlocks blocks;
  blocks[0x10010000] = std::vector<std::uint8_t>(0xCC, 0x11);
  blocks[0x100100CC] = std::vector<std::uint8_t>(0x200, 0x11);
  Put(blocks, 0x100100CC, 0x100100CC, BigEndian32(0x10010200));
  Put(blocks, 0x100100CC, 0x10010239, HexBytes("0A0B0C0D0E0F1011"));
  // Records of 0x10 from 0x100100CC: the version lies in one of them.
  shell_test::WriteTextFile("su.s19", SRecordText(blocks, 0x10));
  const auto version = ReadFlashFileVersion("su.s19");
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(*version, "0A0B0C0D0E0F1011");
}

struct ModelCase {
  const char* name;
  std::vector<std::string> models;  // one marker each, in file order
  std::size_t recordLength;
  bool found;
  std::string model;
};

class FlashFileModel : public ::testing::TestWithParam<ModelCase> {
 protected:
  WorkingFolder folder;
};

TEST_P(FlashFileModel, OnlyACodeLikeTheNewFirmwaresEndsTheSearch) {
  const ModelCase& c = GetParam();
  MemoryBlocks blocks;
  std::uint32_t at = 0x105D0000;
  for (const auto& model : c.models) {
    blocks[at] = std::vector<std::uint8_t>(0x80, 0x22);
    Put(blocks, at, at + 0x10, {0x44, 0x49});
    Put(blocks, at, at + 0x10 + 33, HexBytes(model));
    at += 0x1000;
  }
  WriteTextFile("cp.s19", SRecordText(blocks, c.recordLength));
  const auto model = ReadFlashFileModelCode("cp.s19");
  ASSERT_EQ(model.has_value(), c.found);
  if (c.found) {
    EXPECT_EQ(*model, c.model);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, FlashFileModel,
                         ::testing::Values(ModelCase{"ThirtyTwoByteRecords", {"4E383231"}, 32, true, "4E383231"},
                                           ModelCase{"SixteenByteRecordsAcrossTwo", {"4E383231"}, 16, true,
                                                     "4E383231"},
                                           ModelCase{"OtherRadioModelIsPassedBy", {"52425231", "4E383231"}, 32, true,
                                                     "4E383231"},
                                           ModelCase{"OnlyTheOtherRadioModel", {"52425231"}, 32, false, ""},
                                           ModelCase{"StartsLikeButDiffers", {"4E000000"}, 32, true, "4E000000"}),
                         [](const ::testing::TestParamInfo<ModelCase>& info) { return std::string(info.param.name); });

TEST(FlashFileInfoFiles, BothImagesAreNeeded) {
  WorkingFolder folder;
  FirmwareSpec spec;
  WriteTextFile("su.s19", SRecordText(SuMemory(spec), 32));
  EXPECT_FALSE(GetFlashFileInfo("su.s19", "cp.s19").has_value());
  WriteTextFile("cp.s19", SRecordText(CpMemory(spec), 32));
  const auto info = GetFlashFileInfo("su.s19", "cp.s19");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->version, "0102030405060709");
  EXPECT_EQ(info->modelCode, "4E383231");
  EXPECT_FALSE(GetFlashFileInfo("missing.s19", "cp.s19").has_value());
}

}  // namespace
}  // namespace update_test
