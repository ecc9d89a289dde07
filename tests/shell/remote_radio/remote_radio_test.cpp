// FLASH, ERASE, REVERSE_FLASH and DUMP_RAM sent as remote-control lines,
// run against a simulated radio over RS232 and USB; the radio's flash and
// the saved files are compared byte for byte.

#include <fstream>
#include <iterator>

#include "remote_radio_fixture.h"

using namespace test_support;

namespace remote_radio {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST_P(RemoteRadioTest, FlashWritesTheImageIntoTheRadio) {
  Start(radiosim::PowerOnState::BootLoader);
  const Bytes image = Pattern(0x24000, 4);
  WriteSRecordFile(folder_.File("my image.s19"), {{0x10000, image}}, 0x10000);
  ASSERT_TRUE(Radio().SetFlash(0x90000, Bytes(16, 0x22)));
  Send("flash \"" + folder_.File("my image.s19") + "\"");
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  EXPECT_EQ(Radio().GetFlash(0x10000, 0x24000), image);
  // Auto erase clears the whole CODE partition.
  EXPECT_EQ(Radio().GetFlash(0x90000, 16), Bytes(16, 0xFF));
}

TEST_P(RemoteRadioTest, EraseClearsTheNamedSectorsOnly) {
  Start(radiosim::PowerOnState::BootLoader);
  ASSERT_TRUE(Radio().SetFlash(0x10000, Bytes(0x40000, 0x00)));
  Send("ERASE 2-3");
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  EXPECT_EQ(Radio().GetFlash(0x10000, 0x10000), Bytes(0x10000, 0x00));
  EXPECT_EQ(Radio().GetFlash(0x20000, 0x20000), Bytes(0x20000, 0xFF));
  EXPECT_EQ(Radio().GetFlash(0x40000, 0x10000), Bytes(0x10000, 0x00));
}

TEST_P(RemoteRadioTest, ReverseFlashSavesTheSectorsAtTheOutputAddress) {
  Start(radiosim::PowerOnState::Kernel);
  const Bytes flash = Pattern(2 * kSectorSize, 6);
  ASSERT_TRUE(Radio().SetFlash(0x50000, flash));
  const std::string file = folder_.File("read back.s19");
  Send("REVERSE_FLASH \"" + file + "\" 0x01000000 DEFAULT 5-6");
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 58));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  const auto blocks = ReadSRecordBlocks(file);
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.begin()->first, 0x01000000u);
  EXPECT_EQ(Flatten(blocks, 0x01000000, 2 * kSectorSize), flash);
}

TEST_P(RemoteRadioTest, AFailingLineQueuesNothingAndTheNextLineRuns) {
  Start(radiosim::PowerOnState::BootLoader);
  ASSERT_TRUE(Radio().SetFlash(0x10000, Bytes(16, 0x00)));
  Send("ERASE 99");
  Send("ERASE 1");
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitLog("Error> sector 99 is outside range of flash memory map"));
  EXPECT_EQ(Radio().GetFlash(0x10000, 16), Bytes(16, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(Links, RemoteRadioTest, ::testing::Values(RadioLink::Serial, RadioLink::Usb),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

class RemoteRamDump : public RemoteRadioTest {};

TEST_P(RemoteRamDump, SavesTheRadiosRam) {
  Start(radiosim::PowerOnState::Firmware);
  ASSERT_TRUE(Radio().SetRam(0x00100010, Pattern(64, 8)));
  const std::string file = folder_.File("dump.ram");
  Send("DUMP_RAM \"" + file + "\"");
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 58));
  std::ifstream in(file, std::ios::binary);
  const Bytes saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t expected = 0;
  for (const auto& region : Radio().RamRegions()) expected += 8 + region.size;
  ASSERT_EQ(saved.size(), expected);
  const auto ram = Radio().GetRam(0x00100000, 0x8000);
  EXPECT_TRUE(std::equal(ram.begin(), ram.end(), saved.begin() + 8));
}

INSTANTIATE_TEST_SUITE_P(Serial, RemoteRamDump, ::testing::Values(RadioLink::Serial),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

}  // namespace
}  // namespace remote_radio
