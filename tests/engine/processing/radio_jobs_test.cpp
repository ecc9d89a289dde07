// The radio operations through the core processing thread, queued with
// WM_QUEUE_JOB as the shell queues them, against a simulated radio on a
// pseudo-terminal and on the USB stand-in: flash (plain and smart, the
// user's selection or whole partitions, the magic key), erase, reverse
// flash saved to a file (plain and FDI-enhanced), reset, magic key and
// custom command; the RAM dump over RS232.

#include <fstream>
#include <iterator>

#include "radio_jobs_fixture.h"

using namespace test_support;

namespace {

using Bytes = std::vector<std::uint8_t>;

class RadioJobs : public RadioJobsTest, public ::testing::WithParamInterface<RadioLink> {};

std::string LinkCaseName(const ::testing::TestParamInfo<RadioLink>& info) { return LinkName(info.param); }

struct FlashCase {
  const char* name;
  int autoErase;
  int smart;
  int autoMagicKey;
  std::int32_t doneEvent;
};

class FlashJobs : public RadioJobsTest,
                  public ::testing::WithParamInterface<std::tuple<RadioLink, FlashCase>> {};

// An image of two blocks in sectors 1 and 2 of the CODE partition; sector 3
// (selected by the user, untouched by the image) and sector 5 (neither)
// hold old data.
TEST_P(FlashJobs, WritesTheImageAndErasesAsTheOptionsSay) {
  const auto& [link, c] = GetParam();
  ServeOne(link);
  const Bytes first = Pattern(0x1800, 3);
  const Bytes second = Pattern(0x0900, 9);
  WriteSRecordFile(folder_.File("image.s19"), {{0x10000, first}, {0x20100, second}}, 0x10000);
  ASSERT_TRUE(Radio().SetFlash(0x30000, Bytes(16, 0x11)));
  ASSERT_TRUE(Radio().SetFlash(0x50000, Bytes(16, 0x22)));

  CJobOptions options = JobOptions({0x10000, 0x20000, 0x30000});
  options.SetIntParam(OPTION_AUTO_ERASE_FLASH, c.autoErase);
  options.SetIntParam(OPTION_ENABLE_SMART_FLASHING, c.smart);
  options.SetIntParam(OPTION_AUTO_PROGRAM_MAGIC_KEY, c.autoMagicKey);
  Queue(WM_FLASH, Device(), FlashPayload("image.s19", std::move(options)));

  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), c.doneEvent));
  EXPECT_TRUE(shell_.WaitLog(Name() + (c.smart ? "> Starting Smart Flash" : "> Starting Flash")));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  EXPECT_EQ(Radio().GetFlash(0x10000, 0x1800), first);
  EXPECT_EQ(Radio().GetFlash(0x20100, 0x0900), second);
  EXPECT_EQ(Radio().GetFlash(0x20000, 0x100), Bytes(0x100, 0xFF));
  // The user's selection erases sector 3; whole partitions (auto erase or
  // smart flashing) erase every CODE sector.
  EXPECT_EQ(Radio().GetFlash(0x30000, 16), Bytes(16, 0xFF));
  const bool wholePartition = c.autoErase == 1 || c.smart == 1;
  EXPECT_EQ(Radio().GetFlash(0x50000, 16), wholePartition ? Bytes(16, 0xFF) : Bytes(16, 0x22));
  // The CODE partition is the magic key's; the sectors hold it selected.
  EXPECT_EQ(Radio().MagicKeysProgrammed(), c.autoMagicKey);
  EXPECT_TRUE(shell_.WaitProcessingComplete(0));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlashJobs,
    ::testing::Combine(::testing::Values(RadioLink::Serial, RadioLink::Usb),
                       ::testing::Values(FlashCase{"Selection", 0, 0, 0, 14},
                                         FlashCase{"AutoEraseWithMagicKey", 1, 0, 1, 14},
                                         FlashCase{"Smart", 0, 1, 0, 20})),
    [](const auto& info) {
      return std::string(LinkName(std::get<0>(info.param))) + std::get<1>(info.param).name;
    });

TEST_P(RadioJobs, EraseClearsTheSelectedSectorsOnly) {
  ServeOne(GetParam());
  ASSERT_TRUE(Radio().SetFlash(0x20000, Bytes(0x20000, 0x00)));
  ASSERT_TRUE(Radio().SetFlash(0x40000, Bytes(16, 0x33)));
  Queue(WM_ERASE, Device(), Options({0x20000, 0x30000}));
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 14));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Erase"));
  EXPECT_EQ(Radio().GetFlash(0x20000, 0x20000), Bytes(0x20000, 0xFF));
  EXPECT_EQ(Radio().GetFlash(0x40000, 16), Bytes(16, 0x33));
  EXPECT_EQ(Radio().MagicKeysProgrammed(), 0);
}

struct ReadBackCase {
  const char* name;
  int smart;
  const char* startLine;
};

class ReverseFlashJobs : public RadioJobsTest,
                         public ::testing::WithParamInterface<std::tuple<RadioLink, ReadBackCase>> {};

// The read list covers the last CODE sector and the first CODEPLUG sector
// (the FDI-enhanced read cuts it there and asks for the data-area unit's
// used parts); the file holds the flash as it is, at the output address.
TEST_P(ReverseFlashJobs, SavesTheReadBackImageToAFile) {
  const auto& [link, c] = GetParam();
  ServeOne(link, radiosim::PowerOnState::Kernel);
  const std::uint32_t from = kCodeplugStart - kSectorSize;
  const std::uint32_t length = 2 * kSectorSize;
  Bytes flash = Pattern(length, 5);
  // The data area's unit: used at its start and end, erased between.
  std::fill(flash.begin() + kSectorSize + 0x1000, flash.begin() + kSectorSize + 0xE000, 0xFF);
  ASSERT_TRUE(Radio().SetFlash(from, flash));

  auto payload = std::make_unique<ReadBackPayload>();
  payload->outputFileName = folder_.File("readback.s19");
  payload->outputAddress = 0x01000000;
  payload->readBaseAddress = from;
  payload->recordLength = 21;
  payload->options = JobOptions();
  payload->options.SetIntParam(OPTION_ENABLE_SMART_FLASHING, c.smart);
  payload->regions = MakeRegionList();
  payload->regions->Add(from, length, GetBufferRegistry().Allocate(length));
  Queue(WM_REVERSE_FLASH, Device(), std::move(payload));

  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitLog(Name() + c.startLine));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting file save " + folder_.File("readback.s19")));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 58));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  const auto blocks = ReadSRecordBlocks(folder_.File("readback.s19"));
  ASSERT_FALSE(blocks.empty());
  EXPECT_EQ(blocks.begin()->first, 0x01000000u);
  EXPECT_EQ(Flatten(blocks, 0x01000000, length), flash);
  // The FDI-enhanced read asks for the data area's used parts.
  EXPECT_EQ(Radio().GetTranscript().Count("kernel request 07 00") > 0, c.smart == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReverseFlashJobs,
    ::testing::Combine(::testing::Values(RadioLink::Serial, RadioLink::Usb),
                       ::testing::Values(ReadBackCase{"Plain", 0, "> Starting Reverse Flash"},
                                         ReadBackCase{"FdiEnhanced", 1, "> Starting FDI-Enhanced Reverse Flash"})),
    [](const auto& info) {
      return std::string(LinkName(std::get<0>(info.param))) + std::get<1>(info.param).name;
    });

TEST_P(RadioJobs, ResetSendsTheRadioBackToItsBootLoader) {
  ServeOne(GetParam(), radiosim::PowerOnState::Kernel);
  Queue(WM_RESET_TARGET, Device(), Options());
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 38));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Reset Target"));
  EXPECT_TRUE(shell_.WaitUntil([&] { return Radio().GetTranscript().Count("kernel request 03 00") == 1; }));
  EXPECT_TRUE(shell_.WaitUntil([&] { return Radio().Mode() == radiosim::RadioMode::BootLoader; }));
}

TEST_P(RadioJobs, MagicKeyIsProgrammed) {
  ServeOne(GetParam());
  Queue(WM_PROGRAM_MAGIC_KEY, Device(), Options());
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 34));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Program Magic Key"));
  EXPECT_EQ(Radio().MagicKeysProgrammed(), 1);
}

TEST_P(RadioJobs, MagicKeyRefusedFailsWith41) {
  ServeOne(GetParam(), radiosim::PowerOnState::Kernel);
  Radio().AddFault(radiosim::Fault{radiosim::FaultKind::ErrorStatus, 1, 0x0400});
  Queue(WM_PROGRAM_MAGIC_KEY, Device(), Options());
  ASSERT_TRUE(shell_.WaitLog(Name() + "> ERROR: ")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(Device(), 33));
  EXPECT_EQ(Radio().MagicKeysProgrammed(), 0);
}

struct CustomCase {
  const char* name;
  std::uint32_t flags;
};

class CustomCommandJobs : public RadioJobsTest,
                          public ::testing::WithParamInterface<std::tuple<RadioLink, CustomCase>> {};

TEST_P(CustomCommandJobs, SendsTheItemsBytes) {
  const auto& [link, c] = GetParam();
  radiosim::RadioConfig config;
  config.customReplies[{0x0A, 0x01, 0x07}] = {0x0A, 0x81, 0x00, 0x12, 0x34};
  ServeOne(link, radiosim::PowerOnState::Kernel, config);
  auto payload = std::make_unique<CustomCommandPayload>();
  payload->label = "Read serial";
  payload->command = {0x0A, 0x01, 0x07};
  payload->commandLength = 3;
  payload->flags = c.flags;
  payload->options = JobOptions();
  Queue(WM_CUSTOM_COMMAND, Device(), std::move(payload));
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 36));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Custom Command: 'Read serial'"));
  // Without a reply the job may end before the radio has taken the bytes.
  EXPECT_TRUE(shell_.WaitUntil([&] { return Radio().GetTranscript().Count("kernel request 0A 01 07") == 1; }));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CustomCommandJobs,
    ::testing::Combine(::testing::Values(RadioLink::Serial, RadioLink::Usb),
                       ::testing::Values(CustomCase{"WithReply", 0}, CustomCase{"WithoutReply", 1})),
    [](const auto& info) {
      return std::string(LinkName(std::get<0>(info.param))) + std::get<1>(info.param).name;
    });

INSTANTIATE_TEST_SUITE_P(Links, RadioJobs, ::testing::Values(RadioLink::Serial, RadioLink::Usb), LinkCaseName);

class TimedSerialLine : public RadioJobsTest {};

// The radio takes every byte at the line's pace, as a UART delivers it: the
// kernel download at the boot loader's rate and program requests of 3 KiB,
// which spend longer on the line than the acknowledgement is waited for.
// The host times each acknowledgement from the moment its request has left.
TEST_F(TimedSerialLine, FlashesAtTheLinesPace) {
  radiosim::RadioConfig config;
  config.lineTiming = true;
  ServeOne(RadioLink::Serial, radiosim::PowerOnState::BootLoader, config);
  const Bytes image = Pattern(0x1800, 5);
  WriteSRecordFile(folder_.File("image.s19"), {{0x10000, image}}, 0x10000);
  Queue(WM_FLASH, Device(), FlashPayload("image.s19", JobOptions({0x10000})));
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
  EXPECT_EQ(Radio().GetFlash(0x10000, 0x1800), image);
  EXPECT_TRUE(shell_.WaitProcessingComplete(0));
}

class RamDumpJob : public RadioJobsTest {};

// Two regions of the firmware's RAM: the file is each region's 8-byte
// header (start, size) and its bytes.
TEST_F(RamDumpJob, SavesEveryAnnouncedRegionToTheFile) {
  ServeOne(RadioLink::Serial, radiosim::PowerOnState::Firmware);
  ASSERT_TRUE(Radio().SetRam(0x00100010, Pattern(64, 8)));
  auto payload = std::make_unique<RamDumpPayload>();
  payload->outputFileName = folder_.File("dump.ram");
  payload->options = JobOptions();
  Queue(WM_RAM_DUMP, Device(), std::move(payload));
  ASSERT_TRUE(WaitFinished(Device()));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 58));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting RAM Dump"));
  std::ifstream in(folder_.File("dump.ram"), std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t expected = 0;
  for (const auto& region : Radio().RamRegions()) expected += 8 + region.size;
  ASSERT_EQ(file.size(), expected);
  const auto ram = Radio().GetRam(0x00100000, 0x8000);
  ASSERT_EQ(ram.size(), 0x8000u);
  EXPECT_TRUE(std::equal(ram.begin(), ram.end(), file.begin() + 8));
}

}  // namespace

namespace {

class CancelRunningFlash : public RadioJobsTest {};

// The radio writes its smart-flash buffer slowly, so the kernel is still
// streaming when Cancel comes: it stops, the device's entries (the running
// one and the one queued behind it) are dropped and the queue runs empty.
TEST_F(CancelRunningFlash, StopsTheKernelAndDropsTheDevicesEntries) {
  radiosim::RadioConfig config;
  config.smartWriteRate = 50000;
  ServeOne(RadioLink::Serial, radiosim::PowerOnState::Kernel, config);
  const Bytes image = Pattern(0xB0000, 21);
  WriteSRecordFile(folder_.File("image.s19"), {{0x10000, image}}, 0x10000);
  CJobOptions options = JobOptions();
  options.SetIntParam(OPTION_ENABLE_SMART_FLASHING, 1);
  Queue(WM_FLASH, Device(), FlashPayload("image.s19", std::move(options)));
  Queue(WM_COMM_CHECK, Device(), Options());
  ASSERT_TRUE(shell_.WaitUntil([&] {
    for (const auto& s : shell_.Statuses()) {
      if (s.device == Device() && s.code == 16 && s.percent > 0) return true;
    }
    return false;
  })) << shell_.AllLogs();
  const std::size_t mark = shell_.CompleteReports();
  Post(WM_CANCEL_DEVICE, Device());
  ASSERT_TRUE(shell_.WaitLog(Name() + "> Cancelled 2 queued item(s)")) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitStatus(Device(), 19));
  EXPECT_TRUE(shell_.WaitProcessingComplete(mark));
  EXPECT_EQ(shell_.CountLogs("Item finished"), 0u);
  EXPECT_EQ(shell_.CountLogs("Starting Comm Check"), 0u);
  EXPECT_NE(Radio().GetFlash(0x10000, 0xB0000), image);
}

}  // namespace
