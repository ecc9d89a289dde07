// The run status a station polls while several radios work: ERROR names
// whichever device failed, BUSY lasts until every accepted job on every
// device has ended, DONE comes only when all of them ended well (the radios'
// flash is checked), STATUS RESET cancels only the work of the devices in
// error before it, and nothing waits for ever (a read-back that could not be
// saved, TERMINATE_APP behind a device in error, a download).

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t kImageAddress = 0x10000;  // CODE sector 1
constexpr std::uint32_t kImageSize = kSectorSize;
const std::string kDone = "DONE \"Processing Complete\"\n";
const std::string kIdle = "IDLE \"Status reset to idle\"\n";

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// A radio whose CODE sector 1 refuses erasing and programming.
radiosim::RadioConfig RefusingRadio(radiosim::LinkKind link = radiosim::LinkKind::Serial) {
  radiosim::RadioConfig config = ProductRadio(link);
  config.protectedSectors = {1};
  return config;
}

// A serial radio whose bytes take their time on the line.
radiosim::RadioConfig SlowRadio() {
  radiosim::RadioConfig config = ProductRadio();
  config.lineTiming = true;
  return config;
}

class E2eRunStatus : public ::testing::Test {
 protected:
  std::vector<std::uint8_t> WriteImage(const std::string& name, std::uint8_t seed,
                                       std::uint32_t size = kImageSize) {
    auto image = PatternBytes(size, seed);
    test_support::WriteSRecordFile(program.File(name), {{kImageAddress, image}}, kImageAddress);
    return image;
  }
  void Connect() {
    client = program.Connect();
    ASSERT_TRUE(client.Valid());
  }
  std::string Status() { return client.Ask("STATUS").value_or("(no reply)"); }
  // Polls STATUS until it is no longer BUSY; the first other answer.
  std::string StatusOnceNotBusy() {
    std::string status;
    PollUntil([&] {
      status = Status();
      return !StartsWith(status, "BUSY");
    }, std::chrono::seconds(120));
    return status;
  }
  // Whether the log holds the line now (a line that must come is waited
  // for with WaitLog: the log is written by another thread).
  bool LogHas(const std::string& line) const {
    const auto log = program.LogLines();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  bool LogHasLineStarting(const std::string& prefix) const {
    const auto log = program.LogLines();
    return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return StartsWith(l, prefix); });
  }

  Program program;
  LineClient client;
};

// Sixteen USB radios, two of them refusing the program request; USB12 has
// no row in the window's grid. STATUS is ERROR with a failing radio's name
// while the others flash and after; STATUS RESET cancels the two and their
// next job runs.
TEST_F(E2eRunStatus, AFailureOnAnyUsbRadioIsTheRunStatusAndResetFreesIt) {
  ProgramOptions options;
  options.commProtocol = 1;
  ASSERT_TRUE(program.Start(options));
  ASSERT_TRUE(program.WaitLog("USB> Driver successfully intialized on Windows XP"));
  const std::vector<int> refusing = {5, 12};
  std::vector<std::pair<int, radiosim::RadioSimulator*>> radios;
  for (int id = 1; id <= 16; ++id) {
    const bool refuses = std::find(refusing.begin(), refusing.end(), id) != refusing.end();
    radios.emplace_back(id, &program.AttachUsbRadio(id, refuses ? RefusingRadio(radiosim::LinkKind::Usb)
                                                                : ProductRadio(radiosim::LinkKind::Usb)));
    ASSERT_TRUE(program.WaitLog("USB" + std::to_string(id) + "> Device Attached"));
  }
  const auto image = WriteImage("image.s19", 3);
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("FLASH image.s19"));
  for (const auto& [id, radio] : radios) {
    const std::string name = "USB" + std::to_string(id);
    const bool refuses = std::find(refusing.begin(), refusing.end(), id) != refusing.end();
    if (refuses) {
      EXPECT_TRUE(PollUntil([&] { return LogHasLineStarting(name + "> ERROR: "); }, std::chrono::seconds(120)))
          << name;
    } else {
      EXPECT_TRUE(program.WaitLog(FinishedLine(name, 0), std::chrono::seconds(120))) << name;
    }
  }
  const std::string status = Status();
  EXPECT_TRUE(StartsWith(status, "ERROR \"USB5> ") || StartsWith(status, "ERROR \"USB12> ")) << status;
  for (const auto& [id, radio] : radios) {
    const bool refuses = std::find(refusing.begin(), refusing.end(), id) != refusing.end();
    EXPECT_EQ(radio->GetFlash(kImageAddress, kImageSize) == image, !refuses) << "USB" << id;
  }

  EXPECT_EQ(client.Ask("STATUS RESET"), kIdle);
  EXPECT_TRUE(program.WaitLog("USB5> Cancelled by STATUS RESET"));
  EXPECT_TRUE(program.WaitLog("USB12> Cancelled by STATUS RESET"));
  // The next job runs on every radio, the two cancelled ones included.
  ASSERT_TRUE(client.Send("COMM_CHECK"));
  EXPECT_EQ(StatusOnceNotBusy(), kDone);
  for (const auto& [id, radio] : radios) EXPECT_TRUE(program.WaitLog(FinishedLine("USB" + std::to_string(id), 1))) << id;
  for (const auto& line : program.LogLines()) EXPECT_EQ(line.find("User-initiated Cancel"), std::string::npos);
}

// COM1 holds the grid's top row; COM2 (no row) flashes slowly, or refuses.
// The first STATUS that is not BUSY comes only once COM2's flash has ended,
// and tells how it ended.
TEST_F(E2eRunStatus, Com2WorkDecidesTheStatusWhileCom1HoldsTheTopRow) {
  struct Case {
    bool com2Refuses;
    std::string statusPrefix;
  };
  for (const Case& c : {Case{false, kDone}, Case{true, "ERROR \"COM2> "}}) {
    SCOPED_TRACE(c.statusPrefix);
    Program station;
    radiosim::RadioSimulator& com1 = station.ServeRadioOnCom1(ProductRadio());
    radiosim::RadioSimulator& com2 = station.ServeRadioOnCom(2, c.com2Refuses ? RefusingRadio() : SlowRadio());
    const auto image = PatternBytes(kImageSize, 9);
    test_support::WriteSRecordFile(station.File("image.s19"), {{kImageAddress, image}}, kImageAddress);
    ASSERT_TRUE(station.Start());
    LineClient remote = station.Connect();
    ASSERT_TRUE(remote.Valid());
    ASSERT_TRUE(remote.SendRaw("SET serial_port COM2\r\nFLASH image.s19\r\nSET serial_port COM1\r\nCOMM_CHECK\r\n"));
    std::string status;
    ASSERT_TRUE(PollUntil([&] {
      status = remote.Ask("STATUS").value_or("");
      return !StartsWith(status, "BUSY");
    }, std::chrono::seconds(120)));
    // Read at once: COM2's flash had ended by the time STATUS said so.
    const bool com2Holds = com2.GetFlash(kImageAddress, kImageSize) == image;
    EXPECT_TRUE(StartsWith(status, c.statusPrefix)) << status;
    EXPECT_EQ(com2Holds, !c.com2Refuses);
    EXPECT_TRUE(station.WaitLog(FinishedLine("COM1", 1)));
    EXPECT_NE(com1.GetFlash(kImageAddress, kImageSize), image);  // COM1 only had its comm check
    if (!c.com2Refuses) continue;
    // The reset frees COM2 (which has no row): its next job runs.
    EXPECT_EQ(remote.Ask("STATUS RESET"), kIdle);
    ASSERT_TRUE(remote.SendRaw("SET serial_port COM2\r\nCOMM_CHECK\r\n"));
    EXPECT_TRUE(station.WaitLog(FinishedLine("COM2", 2)));
    status.clear();
    EXPECT_TRUE(PollUntil([&] { return (status = remote.Ask("STATUS").value_or("")) == kDone; })) << status;
  }
}

// STATUS RESET and a FLASH in one write: the reset cancels the failed
// job's device only; the FLASH runs and ends in DONE with the image in
// the radio.
TEST_F(E2eRunStatus, ResetCancelsOnlyTheWorkBeforeIt) {
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(ProductRadio());
  const auto image = WriteImage("image.s19", 5);
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("FLASHPACK_UPDATE_FLASH"));
  std::string status;
  EXPECT_TRUE(PollUntil([&] {
    return (status = Status()) == "ERROR \"COM1> Flashpacks have not been extracted\"\n";
  })) << status;
  ASSERT_TRUE(client.SendRaw("STATUS RESET\r\nFLASH image.s19\r\n"));
  const auto reply = client.ReadLine();
  ASSERT_TRUE(reply);
  EXPECT_TRUE(*reply == kIdle || StartsWith(*reply, "BUSY")) << *reply;
  EXPECT_EQ(StatusOnceNotBusy(), kDone);
  EXPECT_EQ(radio.GetFlash(kImageAddress, kImageSize), image);
  EXPECT_TRUE(program.WaitLog("COM1> Cancelled by STATUS RESET"));
  EXPECT_TRUE(program.WaitLog("COM1> Cancelled 1 queued item(s)"));
  EXPECT_TRUE(program.WaitLog(FinishedLine("COM1", 1)));
  EXPECT_FALSE(LogHas("COM1> User-initiated Cancel"));
}

// STATUS RESET while a FLASH runs answers BUSY and STATUS stays BUSY until
// the FLASH ends well.
TEST_F(E2eRunStatus, ResetWhileAJobRunsStaysBusy) {
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(SlowRadio());
  const auto image = WriteImage("image.s19", 6, 4 * kSectorSize);
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("FLASH image.s19"));
  ASSERT_TRUE(PollUntil([&] { return LogHasLineStarting("COM1> Starting "); }));
  const auto reset = client.Ask("STATUS RESET");
  ASSERT_TRUE(reset);
  EXPECT_TRUE(StartsWith(*reset, "BUSY")) << *reset;
  EXPECT_EQ(StatusOnceNotBusy(), kDone);
  EXPECT_EQ(radio.GetFlash(kImageAddress, 4 * kSectorSize), image);
}

// A read-back whose file cannot be written ends in ERROR; after STATUS
// RESET the port's next job runs and ends in DONE.
TEST_F(E2eRunStatus, AReadBackThatCouldNotBeSavedIsDroppedByTheReset) {
  program.ServeRadioOnCom1(ProductRadio());
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("REVERSE_FLASH no_such_folder/rb.s19 DEFAULT DEFAULT 1"));
  EXPECT_EQ(StatusOnceNotBusy(), "ERROR \"COM1> Error creating file\"\n");
  EXPECT_EQ(client.Ask("STATUS RESET"), kIdle);
  ASSERT_TRUE(client.Send("COMM_CHECK"));
  EXPECT_EQ(StatusOnceNotBusy(), kDone);
  EXPECT_TRUE(program.WaitLog(FinishedLine("COM1", 1)));
}

// TERMINATE_APP behind a device in error that no one reset: the device's
// work is cancelled, the log says so, and the program ends.
TEST_F(E2eRunStatus, TerminateAppEndsTheProgramBehindADeviceInError) {
  program.ServeRadioOnCom1(ProductRadio());
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.SendRaw("FLASHPACK_UPDATE_FLASH\r\nCOMM_CHECK\r\n"));
  std::string status;
  ASSERT_TRUE(PollUntil([&] { return StartsWith(status = Status(), "ERROR"); })) << status;
  ASSERT_TRUE(client.Send("TERMINATE_APP"));
  EXPECT_EQ(program.WaitForExit(std::chrono::seconds(10)), 0);
  EXPECT_TRUE(program.WaitLog("COM1> Cancelled by TERMINATE_APP"));
  EXPECT_TRUE(program.WaitLog("COM1> Cancelled 2 queued item(s)"));
}

// The lines that start work themselves make STATUS BUSY at once; their end
// follows the same rules as the jobs'.
TEST_F(E2eRunStatus, ADownloadRightAfterADoneIsNeverAnsweredWithThatDone) {
  program.ServeRadioOnCom1(ProductRadio());
  ASSERT_TRUE(program.Start());
  ASSERT_NO_FATAL_FAILURE(Connect());
  ASSERT_TRUE(client.Send("COMM_CHECK"));
  EXPECT_EQ(StatusOnceNotBusy(), kDone);
  ASSERT_TRUE(client.SendRaw("DOWNLOAD_LATEST_QLPS\r\nSTATUS\r\n"));
  const auto status = client.ReadLine();
  ASSERT_TRUE(status);
  EXPECT_NE(*status, kDone);
  EXPECT_EQ(StatusOnceNotBusy(),
            "ERROR \"Error> Unable to download the latest QLPs from server. http://127.0.0.1:1/\"\n");
  // A script that only sets an option ends DONE, not before its own end.
  program.Write("set.qls", "SET auto_erase_flash TRUE\n");
  EXPECT_EQ(client.Ask("STATUS RESET"), kIdle);
  ASSERT_TRUE(client.Send("RUN_SCRIPT set.qls"));
  EXPECT_EQ(StatusOnceNotBusy(), kDone);
}

}  // namespace
}  // namespace e2e
