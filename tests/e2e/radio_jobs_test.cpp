// Jobs sent over the remote port into simulated radios: FLASH, ERASE and
// REVERSE_FLASH on COM1, DUMP_RAM from the radio's firmware, FLASH into
// radios on the USB stand-in, and TERMINATE_APP ending the program after
// the jobs queued before it. The radio's flash and the saved files are
// compared byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "program_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t kImageAddress = 0x10000;  // CODE sectors 1 and 2
constexpr std::uint32_t kImageSize = 2 * kSectorSize;

// The count fields of the S3 records of an S-record file (address, data
// and checksum bytes).
std::vector<std::size_t> RecordLengths(const std::string& text) {
  std::vector<std::size_t> lengths;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("S3", 0) != 0) continue;
    lengths.push_back(std::stoul(line.substr(2, 2), nullptr, 16));
  }
  return lengths;
}

std::size_t IndexOf(const std::vector<std::string>& log, const std::string& line) {
  return static_cast<std::size_t>(std::find(log.begin(), log.end(), line) - log.begin());
}

class E2eRadioJobs : public ::testing::Test {
 protected:
  // Writes the image of CODE sectors 1 and 2 as an S-record file.
  std::vector<std::uint8_t> WriteImage(const std::string& name, std::uint8_t seed) {
    auto image = PatternBytes(kImageSize, seed);
    test_support::WriteSRecordFile(program.File(name), {{kImageAddress, image}}, kImageAddress);
    return image;
  }
  void Connect() {
    client = program.Connect();
    ASSERT_TRUE(client.Valid());
  }

  Program program;
  LineClient client;
};

TEST_F(E2eRadioJobs, FlashEraseAndReverseFlashOnCom1) {
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(ProductRadio());
  // The CODE partition and the first CODEPLUG sector hold older data.
  const auto older = PatternBytes(13 * kSectorSize, 0x55);
  ASSERT_TRUE(radio.SetFlash(0, older));
  const std::vector<std::uint8_t> codeplug(older.begin() + 12 * kSectorSize, older.end());
  const auto image = WriteImage("image.s19", 7);
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());

  // FLASH with auto erase: the CODE partition is erased, sectors 1 and 2
  // hold the image, the CODEPLUG sector is untouched.
  ASSERT_TRUE(client.Send("FLASH " + program.File("image.s19")));
  ASSERT_TRUE(program.WaitLog(FinishedLine("COM1", 0), std::chrono::seconds(120)));
  EXPECT_EQ(radio.GetFlash(kImageAddress, kImageSize), image);
  EXPECT_EQ(radio.GetFlash(0, kSectorSize), std::vector<std::uint8_t>(kSectorSize, 0xFF));
  EXPECT_EQ(radio.GetFlash(12 * kSectorSize, kSectorSize), codeplug);

  // ERASE 3 of a sector that holds data: it is erased, the image stays.
  const auto sector3 = PatternBytes(kSectorSize, 0x66);
  ASSERT_TRUE(radio.SetFlash(3 * kSectorSize, sector3));
  ASSERT_TRUE(client.Send("ERASE 3"));
  ASSERT_TRUE(program.WaitLog(FinishedLine("COM1", 1), std::chrono::seconds(120)));
  EXPECT_EQ(radio.GetFlash(3 * kSectorSize, kSectorSize), std::vector<std::uint8_t>(kSectorSize, 0xFF));
  EXPECT_EQ(radio.GetFlash(kImageAddress, kImageSize), image);
  EXPECT_EQ(radio.GetFlash(12 * kSectorSize, kSectorSize), codeplug);

  // REVERSE_FLASH of sectors 1-2 with the default address and record
  // length: the file holds the image at its address in records whose
  // count is 21.
  ASSERT_TRUE(client.Send("REVERSE_FLASH readback.s19 DEFAULT DEFAULT 1-2"));
  ASSERT_TRUE(program.WaitLog(FinishedLine("COM1", 2), std::chrono::seconds(120)));
  ASSERT_TRUE(program.Exists("readback.s19"));
  EXPECT_EQ(SRecordBytes(program.File("readback.s19"), kImageAddress, kImageSize), image);
  const auto lengths = RecordLengths(program.Read("readback.s19"));
  ASSERT_FALSE(lengths.empty());
  EXPECT_EQ(*std::max_element(lengths.begin(), lengths.end()), 21u);

  // An explicit output address (octal here) and record length: sector 1
  // is written as if it lay at 0x40000, in records whose count is 10.
  ASSERT_TRUE(client.Send("REVERSE_FLASH moved.s19 01000000 10 1"));
  ASSERT_TRUE(program.WaitLog(FinishedLine("COM1", 3), std::chrono::seconds(120)));
  EXPECT_EQ(SRecordBytes(program.File("moved.s19"), 0x40000, kSectorSize),
            std::vector<std::uint8_t>(image.begin(), image.begin() + kSectorSize));
  const auto movedLengths = RecordLengths(program.Read("moved.s19"));
  ASSERT_FALSE(movedLengths.empty());
  EXPECT_EQ(*std::max_element(movedLengths.begin(), movedLengths.end()), 10u);

  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
  const auto log = program.LogLines();
  const std::vector<std::string> order = {
      "Remote command: FLASH " + program.File("image.s19"),
      "COM1> Queueing item with sequence number 0",
      "Starting read of file " + program.File("image.s19"),
      "File " + program.File("image.s19") + " successfully loaded into RAM",
      FinishedLine("COM1", 0),
      "Remote command: ERASE 3",
      "COM1> Queueing item with sequence number 1",
      FinishedLine("COM1", 1),
      "Remote command: REVERSE_FLASH readback.s19 DEFAULT DEFAULT 1-2",
      "COM1> Queueing item with sequence number 2",
      "COM1> Starting file save readback.s19",
      FinishedLine("COM1", 2),
  };
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    EXPECT_LT(IndexOf(log, order[i]), IndexOf(log, order[i + 1])) << order[i] << " / " << order[i + 1];
  }
  for (const auto& line : log) EXPECT_EQ(line.find("Error>"), std::string::npos) << line;
}

// A script that polls STATUS after a job line must never see the DONE of
// earlier work: from the accepted line on the status is BUSY until the job
// has finished. FLASH also follows a link to its image file.
TEST_F(E2eRadioJobs, StatusRightAfterAJobLineIsNeverTheEarlierDone) {
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(ProductRadio());
  const auto image = WriteImage("image.s19", 9);
  std::filesystem::create_symlink("image.s19", program.File("link.s19"));
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("DELETE nothing.txt"));
  ASSERT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));

  const std::vector<std::pair<std::string, std::string>> jobs = {
      // The DELETE had sequence number 0.
      {"FLASH link.s19", FinishedLine("COM1", 1)},
      {"ERASE 3", FinishedLine("COM1", 2)},
  };
  for (const auto& [line, finished] : jobs) {
    SCOPED_TRACE(line);
    // The job line and STATUS in one piece: STATUS runs before the core
    // thread can have taken the job.
    ASSERT_TRUE(client.SendRaw(line + "\r\nSTATUS\r\n"));
    EXPECT_EQ(client.ReadLine(), "BUSY \"Job queued\"\n");
    // Polled until DONE, the job has finished by then.
    std::string status;
    ASSERT_TRUE(PollUntil(
        [&] {
          status = client.Ask("STATUS").value_or("");
          return status.rfind("BUSY", 0) != 0;
        },
        std::chrono::seconds(120)));
    EXPECT_EQ(status, "DONE \"Processing Complete\"\n");
    const auto log = program.LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), finished), log.end());
  }
  EXPECT_EQ(radio.GetFlash(kImageAddress, kSectorSize),
            std::vector<std::uint8_t>(image.begin(), image.begin() + kSectorSize));
  // The link was read as the file it names.
  const std::string target = std::filesystem::canonical(program.File("image.s19")).string();
  EXPECT_TRUE(program.WaitLog("Starting read of file " + target));
}

TEST_F(E2eRadioJobs, DumpRamSavesEveryRegionOfTheFirmware) {
  radiosim::RadioConfig config = ProductRadio();
  config.powerOn = radiosim::PowerOnState::Firmware;
  config.ramRegions = {{0x00100000, 0x800}, {0x00200000, 0x300}};
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(config);
  ASSERT_TRUE(radio.SetRam(0x00100100, PatternBytes(0x200, 3)));
  ProgramOptions options;
  options.dataRate = 0;  // RAM dumps run at 115200 bit/s
  ASSERT_TRUE(program.Start(options));
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("DUMP_RAM dump.ram"));
  ASSERT_TRUE(program.WaitLog(FinishedLine("COM1", 0), std::chrono::seconds(120)));
  std::string expected;
  for (const auto& region : config.ramRegions) {
    for (std::uint32_t value : {region.start, region.size}) {
      for (int shift = 24; shift >= 0; shift -= 8) expected += static_cast<char>((value >> shift) & 0xFF);
    }
    const auto ram = radio.GetRam(region.start, region.size);
    expected.append(ram.begin(), ram.end());
  }
  EXPECT_EQ(program.Read("dump.ram"), expected);
}

TEST_F(E2eRadioJobs, FlashAndEraseWithUsbAsTheProtocolReachEveryUsbRadio) {
  ProgramOptions options;
  options.commProtocol = 1;
  ASSERT_TRUE(program.Start(options));
  ASSERT_TRUE(program.WaitLog("USB> Driver successfully intialized on Windows XP"));
  std::vector<radiosim::RadioSimulator*> radios;
  for (int id : {3, 5}) {
    radios.push_back(&program.AttachUsbRadio(id, ProductRadio(radiosim::LinkKind::Usb)));
    ASSERT_TRUE(program.WaitLog("USB" + std::to_string(id) + "> Device Attached"));
  }
  const auto image = WriteImage("image.s19", 9);
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("FLASH image.s19"));
  for (const char* device : {"USB3", "USB5"}) {
    EXPECT_TRUE(program.WaitLog(device + std::string("> Queueing item with sequence number 0")));
    EXPECT_TRUE(program.WaitLog(FinishedLine(device, 0), std::chrono::seconds(120)));
  }
  for (auto* radio : radios) EXPECT_EQ(radio->GetFlash(kImageAddress, kImageSize), image);
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
  // ERASE reaches every USB radio too.
  ASSERT_TRUE(client.Send("ERASE 2"));
  for (const char* device : {"USB3", "USB5"}) EXPECT_TRUE(program.WaitLog(FinishedLine(device, 1)));
  for (auto* radio : radios) {
    EXPECT_EQ(radio->GetFlash(kImageAddress + kSectorSize, kSectorSize), std::vector<std::uint8_t>(kSectorSize, 0xFF));
    EXPECT_EQ(radio->GetFlash(kImageAddress, kSectorSize),
              std::vector<std::uint8_t>(image.begin(), image.begin() + kSectorSize));
  }
  for (const auto& line : program.LogLines()) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
}

// TERMINATE_APP runs after the jobs before it; the FLASH after it never
// runs; the program ends with status 0.
TEST_F(E2eRadioJobs, TerminateAppEndsTheProgramAfterTheJobsBeforeIt) {
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(ProductRadio());
  const auto image = WriteImage("image.s19", 11);
  WriteImage("later.s19", 12);
  program.Write("gone.txt", "x");
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  for (const char* line : {"FLASH image.s19", "DELETE gone.txt", "TERMINATE_APP", "FLASH later.s19"}) {
    ASSERT_TRUE(client.Send(line));
  }
  EXPECT_EQ(program.WaitForExit(std::chrono::seconds(120)), 0);
  EXPECT_EQ(radio.GetFlash(kImageAddress, kImageSize), image);
  EXPECT_FALSE(program.Exists("gone.txt"));
  const auto log = program.LogLines();
  EXPECT_LT(IndexOf(log, FinishedLine("COM1", 0)), IndexOf(log, "Shutting Down Quillon"));
  EXPECT_LT(IndexOf(log, "Shutting Down Quillon"), log.size());
  EXPECT_EQ(IndexOf(log, "Starting read of file later.s19"), log.size()) << "the job after TERMINATE_APP ran";
}

TEST_F(E2eRadioJobs, TerminateAppNeedsNoKernelFiles) {
  for (const char* name : test_support::kKernelFiles) std::remove(program.File(name).c_str());
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("TERMINATE_APP"));
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_TRUE(program.WaitLog("Shutting Down Quillon", std::chrono::seconds(1)));
}

// A COM port whose link in the COM map leads nowhere (a udev link to an
// adapter that is gone): after the error line the log names the device path
// tried and the system's reason, so the user can mend the link.
TEST_F(E2eRadioJobs, AComPortThatDoesNotOpenIsLoggedWithItsPathAndTheSystemsReason) {
  std::filesystem::create_directories(program.File("com"));
  std::filesystem::create_symlink("/nonexistent/ttyUSB7", program.File("com/COM1"));
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("COMM_CHECK"));
  ASSERT_TRUE(program.WaitLog("COM1> ERROR: Error opening serial port"));
  const std::string reason = "COM1> " + program.File("com/COM1") + ": No such file or directory";
  ASSERT_TRUE(program.WaitLog(reason));
  const auto log = program.LogLines();
  EXPECT_LT(IndexOf(log, "COM1> ERROR: Error opening serial port"), IndexOf(log, reason));
}

}  // namespace
}  // namespace e2e
