// The library against the simulated GPS chip: program, erase and read for a
// part of each driver family and for the locked part, with every option, the
// chip's flash compared byte for byte.

#include <atomic>
#include <thread>

#include "gps_chip_fixture.h"
#include "gps_sim/nor_flash.h"

namespace gps_test {
namespace {

struct FlashCase {
  const char* part;
  int option;
  std::size_t driverLength;
};

void PrintTo(const FlashCase& c, std::ostream* out) { *out << c.part << " option " << c.option; }

class FlashOperations : public GpsChipTest, public ::testing::WithParamInterface<FlashCase> {};

// Data in two sectors, starting and ending inside blocks.
std::vector<Stretch> TwoStretches() {
  return {{0x2010, RandomBytes(0x3E0, 21)}, {0x10100, RandomBytes(0x5000, 22)}};
}

// What the flash holds after programming `stretches` with the option over
// the earlier contents.
Bytes ExpectedFlash(const gps_sim::FlashGeometry& geometry, const Bytes& before, const std::vector<Stretch>& stretches,
                    int option) {
  Bytes after = before;
  const gps_sim::NorFlash layout(geometry);
  if (option == AMBREL_OPTION_ERASE_CHIP) std::fill(after.begin(), after.end(), 0xFF);
  if (option == AMBREL_OPTION_ERASE_SECTORS) {
    // Every sector from the first touched one to the last is erased.
    const std::uint32_t low = stretches.front().offset & ~0x3FFu;
    const std::uint32_t high = (stretches.back().offset + static_cast<std::uint32_t>(stretches.back().data.size()) - 1) | 0x3FF;
    for (const gps_sim::SimSector& s : layout.Sectors()) {
      if (s.start + s.size > low && s.start <= high) std::fill_n(after.begin() + s.start, s.size, 0xFF);
    }
  }
  for (const Stretch& s : stretches) std::copy(s.data.begin(), s.data.end(), after.begin() + s.offset);
  return after;
}

TEST_P(FlashOperations, ProgramReadAndEraseMatchTheChipByteForByte) {
  const FlashCase c = GetParam();
  gps_sim::ChipOptions options;
  options.part = c.part;
  StartChip(options);
  const gps_sim::FlashGeometry& geometry = gps_sim::FlashPartNamed(c.part);
  const Bytes before = RandomBytes(geometry.size, 7);
  Chip().FillFlash(before);

  ASSERT_EQ(Init(), 0) << LastError(Init());
  EXPECT_STREQ(partName_, c.part);
  EXPECT_EQ(size_, geometry.size);

  const std::vector<Stretch> stretches = TwoStretches();
  const std::string path = WriteSrecFile("image.s19", stretches);
  ASSERT_EQ(Program(path, c.option), 0) << LastError(AMBREL_FLASH_PROGRAMMING);
  EXPECT_TRUE(Chip().TranscriptHas("driver started, " + std::to_string(c.driverLength) + " bytes"));
  const Bytes expected = ExpectedFlash(geometry, before, stretches, c.option);
  ASSERT_TRUE(Chip().Flash() == expected) << "flash differs after programming";
  if (geometry.lockedAtPowerUp) {
    EXPECT_TRUE(Chip().TranscriptHas("UnlockSector"));
    EXPECT_FALSE(Chip().SectorLocked(0));
  }

  // Read back a range that starts and ends inside blocks.
  const std::uint32_t from = 0x1F37;
  const std::uint32_t count = 0x15000 - from + 0x123;
  Bytes read(count);
  ASSERT_EQ(Ambrel_ReadFlash(reinterpret_cast<char*>(read.data()), from, count), 0) << LastError(AMBREL_FLASH_READING);
  const auto differs = std::mismatch(read.begin(), read.end(), expected.begin() + from);
  EXPECT_TRUE(differs.first == read.end()) << "read differs at 0x" << std::hex << from + (differs.first - read.begin());

  ASSERT_EQ(Ambrel_EraseFlash(), 0) << LastError(AMBREL_FLASH_PROGRAMMING);
  EXPECT_TRUE(Chip().Flash() == Bytes(geometry.size, 0xFF)) << "flash not blank after the erase";
  int first = -1;
  int second = -1;
  EXPECT_EQ(Ambrel_GetProgressInfo(&first, &second), 0);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(Ambrel_Terminate(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    PartsAndOptions, FlashOperations,
    ::testing::Values(FlashCase{"AM29LV200B", 0, 5608}, FlashCase{"AM29LV200B", 1, 5608},
                      FlashCase{"AM29LV200B", 2, 5608}, FlashCase{"LH28F800BVE", 0, 5624},
                      FlashCase{"LH28F800BVE", 1, 5624}, FlashCase{"LH28F800BVE", 2, 5624},
                      FlashCase{"28F800C3B", 0, 5624}, FlashCase{"28F800C3B", 1, 5624},
                      FlashCase{"28F800C3B", 2, 5624}),
    [](const ::testing::TestParamInfo<FlashCase>& info) {
      return std::string(info.param.part) + "_option" + std::to_string(info.param.option);
    });

class FlashEngineOverChip : public GpsChipTest {};

TEST_F(FlashEngineOverChip, EveryCompressionModeWritesTheSameFlash) {
  for (const ambrel::CompressionMode mode :
       {ambrel::CompressionMode::None, ambrel::CompressionMode::Huffman, ambrel::CompressionMode::Lzss}) {
    SCOPED_TRACE(static_cast<int>(mode));
    StartChip();
    ASSERT_EQ(Init(), 0);
    ambrel::TheSession().coders.mode = mode;
    // Text-like data that both coders shrink, over several sectors.
    Bytes data;
    const std::string text = "GPS flash block of text, sector after sector; ";
    while (data.size() < 0x14000) data.insert(data.end(), text.begin(), text.end());
    data.resize(0x14000);
    const std::string path = WriteFile("image.bin", data);
    ASSERT_EQ(Program(path, AMBREL_OPTION_ERASE_SECTORS, AMBREL_FILE_BINARY), 0) << LastError(16);
    const Bytes flash = Chip().Flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin()));
    EXPECT_EQ(Chip().CompressedBlocks() > 0, mode != ambrel::CompressionMode::None);
    EXPECT_EQ(ambrel::TheSession().coders.mode, mode) << "the gain was large enough to keep the mode";
    EXPECT_EQ(Ambrel_Terminate(), 0);
    server_.reset();
  }
}

TEST_F(FlashEngineOverChip, ASecondJobInOneSessionStartsAFreshStream) {
  StartChip();
  ASSERT_EQ(Init(), 0);
  const Bytes first = RandomBytes(0x800, 1);
  ASSERT_EQ(Program(WriteFile("a.bin", first), AMBREL_OPTION_ERASE_SECTORS), 0) << LastError(16);
  // The next job begins at the block that follows the previous job's last one.
  const std::vector<Stretch> next = {{0x800, RandomBytes(0x1000, 2)}};
  ASSERT_EQ(Program(WriteSrecFile("b.s19", next), AMBREL_OPTION_PRESERVE), 0) << LastError(16);
  const Bytes flash = Chip().Flash();
  EXPECT_TRUE(std::equal(first.begin(), first.end(), flash.begin()));
  EXPECT_TRUE(std::equal(next[0].data.begin(), next[0].data.end(), flash.begin() + 0x800));
  EXPECT_EQ(Ambrel_Terminate(), 0);

  // A new session downloads a fresh driver; the stream starts afresh with it.
  ASSERT_EQ(Init(), 0);
  const std::vector<Stretch> third = {{0x1800, RandomBytes(0x400, 3)}};
  ASSERT_EQ(Program(WriteSrecFile("c.s19", third), AMBREL_OPTION_PRESERVE), 0) << LastError(16);
  EXPECT_TRUE(std::equal(third[0].data.begin(), third[0].data.end(), Chip().Flash().begin() + 0x1800));
}

TEST_F(FlashEngineOverChip, ACorruptedFlashByteIsACrcMismatch) {
  StartChip();
  gps_sim::ChipFaults faults;
  faults.corruptAfterWrite = 0x10234;
  Chip().SetFaults(faults);
  ASSERT_EQ(Init(), 0);
  const int rc = Program(WriteSrecFile("image.s19", TwoStretches()), AMBREL_OPTION_ERASE_SECTORS);
  EXPECT_EQ(rc, AMBREL_FLASH_PROGRAMMING);
  EXPECT_EQ(LastError(rc), "\nFlash programming error\nCRC16 mismatch\n");
}

TEST_F(FlashEngineOverChip, AProgrammingErrorOnTheTargetGivesItsDetails) {
  StartChip();
  gps_sim::ChipFaults faults;
  faults.writeErrorAt = 0x10500;
  Chip().SetFaults(faults);
  ASSERT_EQ(Init(), 0);
  const int rc = Program(WriteSrecFile("image.s19", TwoStretches()), AMBREL_OPTION_ERASE_SECTORS);
  EXPECT_EQ(rc, AMBREL_FLASH_PROGRAMMING);
  const std::string text = LastError(rc);
  EXPECT_NE(text.find("Last operation: "), std::string::npos) << text;
  EXPECT_NE(text.find("Last activity: waiting for write completion\nAddress:       0x00010400\n"), std::string::npos)
      << text;
}

TEST_F(FlashEngineOverChip, PreservingWithoutAFreeTargetBufferErasesNothing) {
  gps_sim::ChipOptions options;
  options.targetBuffers = 0;
  StartChip(options);
  const Bytes before = RandomBytes(0x40000, 4);
  Chip().FillFlash(before);
  ASSERT_EQ(Init(), 0);
  const int rc = Program(WriteSrecFile("image.s19", TwoStretches()), AMBREL_OPTION_PRESERVE);
  EXPECT_EQ(rc, AMBREL_FLASH_PROGRAMMING);
  EXPECT_NE(LastError(rc).find("No free target buffer"), std::string::npos);
  EXPECT_TRUE(Chip().Flash() == before);
  EXPECT_FALSE(Chip().TranscriptHas("EraseSector"));
}

TEST_F(FlashEngineOverChip, ATargetThatStopsMakingProgressEndsTheWait) {
  gps_sim::ChipOptions options;
  options.targetBuffers = 2;
  StartChip(options);
  ASSERT_EQ(Init(), 0);
  gps_sim::ChipFaults faults;
  faults.stall = true;
  Chip().SetFaults(faults);
  ambrel::SetNoProgressLimit(std::chrono::milliseconds(400));
  const int rc = Program(WriteFile("image.bin", RandomBytes(0x3000, 5)), AMBREL_OPTION_ERASE_SECTORS);
  ambrel::SetNoProgressLimit(std::chrono::seconds(60));
  EXPECT_EQ(rc, AMBREL_FLASH_PROGRAMMING);
  EXPECT_NE(LastError(rc).find("No progress from the target for 1 seconds"), std::string::npos) << LastError(rc);
}

// The host learns the free command slots only from statuses, and an erase is
// answered without one: with erases slower than the host, the block writes
// and group writes that follow an erase come while every slot is taken.
struct BusySlotsCase {
  const char* name;
  int option;
  unsigned commandSlots;
  unsigned targetBuffers;
};

void PrintTo(const BusySlotsCase& c, std::ostream* out) { *out << c.name; }

class CommandsAfterAnErase : public GpsChipTest, public ::testing::WithParamInterface<BusySlotsCase> {};

TEST_P(CommandsAfterAnErase, WaitForTheSlotThatTheEraseHolds) {
  const BusySlotsCase c = GetParam();
  gps_sim::ChipOptions options;
  options.commandSlots = c.commandSlots;
  options.targetBuffers = c.targetBuffers;
  options.chipEraseSupported = false;  // option 1 erases sector by sector
  options.timings.sectorErase = std::chrono::milliseconds(50);
  StartChip(options);
  const Bytes before = RandomBytes(0x40000, 9);
  Chip().FillFlash(before);
  ASSERT_EQ(Init(), 0);
  const std::vector<Stretch> stretches = TwoStretches();
  ASSERT_EQ(Program(WriteSrecFile("image.s19", stretches), c.option), 0) << LastError(AMBREL_FLASH_PROGRAMMING);
  EXPECT_FALSE(Chip().TranscriptHas("protocol error"));
  EXPECT_TRUE(Chip().Flash() == ExpectedFlash(gps_sim::FlashPartNamed(options.part), before, stretches, c.option));
}

INSTANTIATE_TEST_SUITE_P(
    OneEraseAhead, CommandsAfterAnErase,
    ::testing::Values(BusySlotsCase{"BlockWriteAfterSectorErase", AMBREL_OPTION_ERASE_SECTORS, 1, 8},
                      BusySlotsCase{"BlockWriteAfterErasingEverySector", AMBREL_OPTION_ERASE_CHIP, 1, 8},
                      BusySlotsCase{"GroupWriteAfterSectorErase", AMBREL_OPTION_PRESERVE, 2, 2}),
    [](const ::testing::TestParamInfo<BusySlotsCase>& info) { return std::string(info.param.name); });

TEST_F(FlashEngineOverChip, ProgressPolledFromAnotherThreadRisesTo100) {
  gps_sim::ChipOptions options;
  options.timings.blockWrite = std::chrono::microseconds(1500);
  StartChip(options);
  ASSERT_EQ(Init(), 0);
  const std::string path = WriteFile("image.bin", RandomBytes(0x30000, 6));
  std::atomic<bool> done{false};
  std::vector<std::pair<int, int>> seen;
  std::thread poller([&] {
    while (!done) {
      int first = 0;
      int second = 0;
      if (Ambrel_GetProgressInfo(&first, &second) == 0) seen.emplace_back(first, second);
      std::this_thread::yield();
    }
  });
  const int rc = Program(path, AMBREL_OPTION_ERASE_SECTORS);
  done = true;
  poller.join();
  ASSERT_EQ(rc, 0) << LastError(16);
  int first = 0;
  int second = 0;
  ASSERT_EQ(Ambrel_GetProgressInfo(&first, &second), 0);
  EXPECT_EQ(first, 100);
  EXPECT_EQ(second, 100);
  std::size_t middle = 0;
  for (std::size_t i = 1; i < seen.size(); ++i) {
    if (seen[i].first < seen[i - 1].first) {
      EXPECT_EQ(seen[i].first, 0) << "the download figure only falls when an operation starts";
    }
    if (seen[i].second > 0 && seen[i].second < 100) ++middle;
  }
  EXPECT_GT(middle, 0u) << "no figure between 0 and 100 was seen";
}

TEST_F(FlashEngineOverChip, ReadsInsideOneBlockAndAcrossTwo) {
  StartChip();
  const Bytes contents = RandomBytes(0x40000, 8);
  Chip().FillFlash(contents);
  Ambrel_SetVerbose(getenv("AMBREL_TRACE") != nullptr);
  const int rc = Init();
  if (rc) DumpTranscript();
  ASSERT_EQ(rc, 0);
  struct Range {
    std::uint32_t offset;
    std::uint32_t length;
  };
  for (const Range r : {Range{0x3FE, 10}, Range{0x100, 10}, Range{0x400, 0x400}, Range{0x3FF, 1}, Range{0x1234, 0},
                        Range{0x3FC00, 0x400}}) {
    std::vector<char> buffer(r.length + 1, 0x55);
    ASSERT_EQ(Ambrel_ReadFlash(buffer.data(), r.offset, r.length), 0) << r.offset;
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + r.length,
                           reinterpret_cast<const char*>(contents.data()) + r.offset))
        << r.offset;
    EXPECT_EQ(buffer[r.length], 0x55) << "read past the range at " << r.offset;
  }
  char one[4];
  EXPECT_EQ(Ambrel_ReadFlash(one, 0xFFFFFFF0u, 0x20), AMBREL_BAD_OFFSET);
}

TEST_F(FlashEngineOverChip, ReadModeReceivesABadReplyAgain) {
  StartChip();
  ASSERT_EQ(Init(), 0);
  const Bytes contents = RandomBytes(0x40000, 9);
  Chip().FillFlash(contents);
  char first[1];
  ASSERT_EQ(Ambrel_ReadFlash(first, 0, 1), 0) << "the driver is loaded before read mode begins";
  gps_sim::ChipFaults faults;
  faults.badReplyChecksums = 3;
  Chip().SetFaults(faults);
  std::vector<char> buffer(0x800);
  ASSERT_EQ(Ambrel_ReadFlash(buffer.data(), 0x1000, 0x800), 0) << LastError(26);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), reinterpret_cast<const char*>(contents.data()) + 0x1000));
  EXPECT_TRUE(Chip().TranscriptHas("host answered NAK, reply sent again"));
}

TEST_F(FlashEngineOverChip, ReadModeRecoversFromANakToItsRequest) {
  StartChip();
  ASSERT_EQ(Init(), 0);
  const Bytes contents = RandomBytes(0x40000, 12);
  Chip().FillFlash(contents);
  char first[1];
  ASSERT_EQ(Ambrel_ReadFlash(first, 0, 1), 0);
  gps_sim::ChipFaults faults;
  faults.nakRequests = 1;
  Chip().SetFaults(faults);
  std::vector<char> buffer(0x400);
  ASSERT_EQ(Ambrel_ReadFlash(buffer.data(), 0x2000, 0x400), 0) << LastError(26);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), reinterpret_cast<const char*>(contents.data()) + 0x2000));
  EXPECT_TRUE(Chip().TranscriptHas("host asked for the last reply again"));

  // Outside read mode the same NAK fails the request.
  faults.nakRequests = 1;
  Chip().SetFaults(faults);
  const int rc = Program(WriteFile("image.bin", RandomBytes(0x400, 13)), AMBREL_OPTION_ERASE_SECTORS);
  EXPECT_EQ(rc, AMBREL_FLASH_PROGRAMMING);
  EXPECT_EQ(LastError(rc), "\nFlash programming error\nFailed to get target status\n");
}

TEST_F(FlashEngineOverChip, VerboseTracingShowsTheTraffic) {
  StartChip();
  Ambrel_SetVerbose(1);
  ::testing::internal::CaptureStdout();
  const int rc = Init();
  Ambrel_SetVerbose(0);
  const std::string out = ::testing::internal::GetCapturedStdout();
  ASSERT_EQ(rc, 0);
  EXPECT_NE(out.find("Received positive ACK"), std::string::npos);
  EXPECT_NE(out.find("Checksum OK"), std::string::npos);
  EXPECT_NE(out.find("Sent positive ACK"), std::string::npos);
}

TEST_F(FlashEngineOverChip, ProgrammingDoesNotRetryABadReply) {
  StartChip();
  ASSERT_EQ(Init(), 0);
  gps_sim::ChipFaults faults;
  faults.badReplyChecksums = 1;
  Chip().SetFaults(faults);
  // The first reply of the job (the driver download) arrives damaged.
  EXPECT_EQ(Program(WriteFile("image.bin", RandomBytes(0x400, 10)), AMBREL_OPTION_ERASE_SECTORS),
            AMBREL_DRIVER_DOWNLOAD);
}

TEST_F(FlashEngineOverChip, SoftwareVersionStringIsReadThroughItsPointer) {
  StartChip();
  Bytes contents(0x40000, 0xFF);
  const std::string version = "GPS 4.2.1";
  contents[20] = 0x00;
  contents[21] = 0x30;
  contents[22] = 0;
  contents[23] = 0;
  std::copy(version.begin(), version.end(), contents.begin() + 0x3000);
  contents[0x3000 + version.size()] = 0;
  Chip().FillFlash(contents);
  ASSERT_EQ(Init(), 0);
  char text[AMBREL_SOFTWARE_VERSION_SIZE] = {};
  ASSERT_EQ(Ambrel_GetFlashSoftwareVersion(text), 0);
  EXPECT_EQ(std::string(text), version);

  contents[21] = 0;
  contents[20] = 0x10;  // below the lowest allowed pointer
  Chip().FillFlash(contents);
  EXPECT_EQ(Ambrel_GetFlashSoftwareVersion(text), AMBREL_VERSION_MISSING);

  contents[20] = 0x00;
  contents[21] = 0x30;
  std::fill_n(contents.begin() + 0x3000, 64, 'x');
  Chip().FillFlash(contents);
  EXPECT_EQ(Ambrel_GetFlashSoftwareVersion(text), AMBREL_VERSION_TOO_LONG);
  EXPECT_EQ(text[63], 0);
}

}  // namespace
}  // namespace gps_test
