// GPS-chip jobs through the core processing thread: the GPS-chip device
// object opens the simulated radio's kernel link on a pseudo-terminal, the
// radio's kernel hands its second serial port through, and the GPS-chip
// flash library programs, erases and reads a simulated GPS chip wired
// behind it.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/buffer_registry.h"
#include "radio_gps_sim/gps_chip_behind_radio.h"
#include "radio_jobs_fixture.h"

namespace test_support {
namespace {

constexpr std::uint32_t kImageLength = 24 * 1024;
constexpr int kWorkingRate = 115200;

class OrvixJobsTest : public RadioJobsTest {
 protected:
  void TearDown() override {
    chip_.reset();
    RadioJobsTest::TearDown();
  }

  // A radio that boots from its boot loader, with a GPS chip behind its
  // second port (none for a silent chip).
  void Serve(bool withChip = true) {
    ServeOne(RadioLink::Serial);
    if (withChip) chip_ = std::make_unique<radio_gps_sim::GpsChipBehindRadio>(Radio());
  }

  // Bytes that compress in places and not in others.
  static std::vector<std::uint8_t> Image() {
    std::vector<std::uint8_t> bytes(kImageLength);
    std::uint32_t state = 0x1234567;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      state = state * 1103515245u + 12345u;
      bytes[i] = i % 4096 < 1024 ? static_cast<std::uint8_t>(i / 64) : static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
  }

  std::string WriteImage(const std::vector<std::uint8_t>& bytes) {
    const std::string path = folder_.File("gps.bin");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  CJobOptions GpsOptions() {
    CJobOptions options = JobOptions();
    options.SetIntParam(OPTION_BAUD_RATE, kWorkingRate);
    return options;
  }

  void QueueProgram() {
    WriteImage(Image());
    Queue(WM_ORVIX_FLASH, Device(), FlashPayload("gps.bin", GpsOptions()));
  }

  void QueueRead(std::uint32_t length) {
    auto payload = std::make_unique<ReadBackPayload>();
    payload->outputFileName = folder_.File("gps_readback.s19");
    payload->outputAddress = 0;
    payload->readBaseAddress = 0;
    payload->recordLength = 21;
    payload->options = GpsOptions();
    payload->regions = MakeRegionList();
    payload->regions->Add(0, length, nullptr);
    Queue(WM_ORVIX_REVERSE_FLASH, Device(), std::move(payload));
  }

  // After a GPS-chip job, successful or not, the radio's host side is back
  // at the kernel's working rate: a plain job over the kernel link works.
  void ExpectRadioBackAtWorkingRate(std::int32_t sequence) {
    EXPECT_EQ(Radio().NominalRate(), static_cast<std::uint32_t>(kWorkingRate));
    // The failed job waits for the user; Cancel lets the device go on.
    Post(WM_CANCEL_DEVICE, Device());
    Queue(WM_COMM_CHECK, Device(), Options());
    ASSERT_TRUE(WaitFinished(Device(), sequence));
    EXPECT_TRUE(shell_.WaitStatus(Device(), EVENT_COMM_CHECK_DONE)) << shell_.AllLogs();
  }

  std::unique_ptr<radio_gps_sim::GpsChipBehindRadio> chip_;
};

TEST_F(OrvixJobsTest, ProgramsTheChipThroughTheRadioAndReadsItBackEqual) {
  Serve();
  QueueProgram();
  ASSERT_TRUE(WaitFinished(Device(), 0));
  EXPECT_TRUE(shell_.WaitStatus(Device(), EVENT_ORVIX_PROGRAM_DONE)) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Orvix Flash"));
  const std::vector<std::uint8_t> image = Image();
  const std::vector<std::uint8_t> flash = chip_->Chip().Flash();
  ASSERT_GE(flash.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
  // The radio handed its port through once and is back at its working rate.
  EXPECT_EQ(Radio().GetTranscript().Count("uart b handed through"), 1u);
  EXPECT_EQ(Radio().NominalRate(), static_cast<std::uint32_t>(kWorkingRate));

  QueueRead(kImageLength);
  ASSERT_TRUE(WaitFinished(Device(), 1));
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Orvix Reverse Flash"));
  EXPECT_TRUE(shell_.WaitStatus(Device(), 58)) << shell_.AllLogs();
  const auto blocks = ReadSRecordBlocks(folder_.File("gps_readback.s19"));
  EXPECT_EQ(Flatten(blocks, 0, kImageLength), image);
  // The chip still answered at its probe rate: no second pass-through.
  EXPECT_EQ(Radio().GetTranscript().Count("uart b handed through"), 1u);
  EXPECT_EQ(shell_.CountLogs("ERROR"), 0u) << shell_.AllLogs();
}

TEST_F(OrvixJobsTest, EraseReportsNoPercentageAndLeavesTheChipBlank) {
  Serve();
  chip_->Chip().FillFlash(std::vector<std::uint8_t>(kImageLength, 0x5A));
  Queue(WM_ORVIX_ERASE, Device(), Options());
  ASSERT_TRUE(WaitFinished(Device(), 0));
  EXPECT_TRUE(shell_.WaitStatus(Device(), EVENT_ORVIX_ERASE_DONE)) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitLog(Name() + "> Starting Orvix Erase"));
  const std::vector<std::uint8_t> flash = chip_->Chip().Flash();
  ASSERT_GE(flash.size(), kImageLength);
  for (std::uint32_t i = 0; i < kImageLength; ++i) ASSERT_EQ(flash[i], 0xFF) << "at " << i;
  EXPECT_EQ(shell_.CountStatus(Device(), EVENT_ORVIX_PROGRAM_PROGRESS), 0u);
}

struct FailureCase {
  const char* name;
  std::optional<radiosim::Fault> fault;
  bool withChip;
  const char* errorLine;  // the engine's text for the job's error
};

class OrvixFailures : public OrvixJobsTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(OrvixFailures, EndInTheirErrorAndPutTheRadioBackAtItsWorkingRate) {
  const FailureCase& c = GetParam();
  Serve(c.withChip);
  if (c.fault) Radio().AddFault(*c.fault);
  QueueProgram();
  ASSERT_TRUE(shell_.WaitStatus(Device(), EVENT_ORVIX_PROGRAM_FAILED)) << shell_.AllLogs();
  EXPECT_TRUE(shell_.WaitLog(Name() + "> ERROR: " + c.errorLine)) << shell_.AllLogs();
  ExpectRadioBackAtWorkingRate(1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrvixFailures,
    ::testing::Values(
        // The kernel refuses to hand its second port through.
        FailureCase{"RefusedPassThrough", radiosim::Fault{radiosim::FaultKind::ErrorStatus, 1, 0x0301}, false,
                    "ARM Bootload failed"},
        // The second port refuses its rate (the probe's own request is not
        // examined, so the fault must outlast it).
        FailureCase{"UartBFault", radiosim::Fault{radiosim::FaultKind::ErrorStatus, 2, 0x0500}, true,
                    "Unable to set the UARTB data rate"},
        // Nothing answers behind the radio.
        FailureCase{"SilentChip", std::nullopt, false, "Orvix failure"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrvixJobsTest, ASilentChipLogsTheLibrarysOwnReason) {
  Serve(false);
  QueueProgram();
  ASSERT_TRUE(shell_.WaitLog(Name() + "> ERROR: Orvix failure")) << shell_.AllLogs();
  // The library's text stands beside the engine's.
  EXPECT_GE(shell_.CountLogs(Name() + "> ERROR: "), 2u) << shell_.AllLogs();
}

// The library's first reason is the failure's cause: the job's error line
// (and with it the row and the status bar) names it after the engine's text.
TEST_F(OrvixJobsTest, ASilentChipsFailureKeepsTheLibrarysFirstReasonInView) {
  Serve(false);
  QueueProgram();
  ASSERT_TRUE(shell_.WaitLog(Name() + "> ERROR: Orvix failure")) << shell_.AllLogs();
  const std::string prefix = Name() + "> ERROR: ";
  std::string first;
  for (const std::string& line : shell_.Logs()) {
    if (line.starts_with(prefix)) {
      first = line.substr(prefix.size());
      break;
    }
  }
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(first.find("Orvix failure"), std::string::npos) << "the library's line comes first";
  EXPECT_TRUE(shell_.WaitLog(prefix + "Orvix failure: " + first)) << shell_.AllLogs();
}

TEST(OrvixObject, CapsTheRateAndRefusesAnUnknownMode) {
  COrvix orvix;
  OrvixSettingsRecord settings;
  settings.device = 127;
  settings.baudRate = 460800;
  settings.comPort = 1;
  settings.callback = [](const DeviceEvent&) { return 0; };
  ASSERT_EQ(orvix.LoadSettings(settings), KERNEL_OK);
  // A rate above the chip side's limit runs the chip at 230400.
  EXPECT_EQ(orvix.BaudRate(), 230400);
  EXPECT_EQ(COrvix::RateCode(orvix.BaudRate()), 1);
  EXPECT_EQ(COrvix::RateCode(115200), 0);
  EXPECT_EQ(orvix.StartErase(7), KERNEL_ERROR_INVALID_OPERATING_MODE);
  EXPECT_EQ(orvix.GetBusyState(), KERNEL_OK);
}

}  // namespace
}  // namespace test_support
