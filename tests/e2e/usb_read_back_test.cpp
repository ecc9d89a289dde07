// REVERSE_FLASH with USB as the protocol reads every USB radio present:
// each radio's data goes to a file of its own, named after the radio, and
// each file holds exactly that radio's flash. One radio keeps the name as
// given.

#include <gtest/gtest.h>

#include <algorithm>

#include "program_fixture.h"

namespace e2e {
namespace {

constexpr std::uint32_t kReadAddress = 0x10000;  // CODE sectors 1 and 2
constexpr std::uint32_t kReadSize = 2 * kSectorSize;
constexpr char kDone[] = "DONE \"Processing Complete\"\n";

class E2eUsbReadBack : public ::testing::Test {
 protected:
  // Starts the program with USB as the protocol and attaches a radio for
  // each id, each holding data of its own in sectors 1 and 2.
  void StartWithRadios(const std::vector<int>& ids) {
    ProgramOptions options;
    options.commProtocol = 1;
    ASSERT_TRUE(program.Start(options));
    ASSERT_TRUE(program.WaitLog("USB> Driver successfully intialized on Windows XP"));
    for (int id : ids) {
      radiosim::RadioSimulator& radio = program.AttachUsbRadio(id, ProductRadio(radiosim::LinkKind::Usb));
      ASSERT_TRUE(radio.SetFlash(kReadAddress, PatternBytes(kReadSize, static_cast<std::uint8_t>(id))));
      radios.emplace_back(id, &radio);
      ASSERT_TRUE(program.WaitLog("USB" + std::to_string(id) + "> Device Attached"));
    }
    client = program.Connect();
    ASSERT_TRUE(client.Valid());
  }
  // Waits until every radio's read-back has ended and STATUS tells the run.
  std::optional<std::string> RunReadBack(const std::string& line, int sequence) {
    if (!client.Send(line)) return std::nullopt;
    for (const auto& [id, radio] : radios) {
      const std::string finished = "USB" + std::to_string(id) + "> Item finished with sequence number " +
                                   std::to_string(sequence);
      if (!program.WaitLog(finished, std::chrono::seconds(120))) return std::nullopt;
    }
    std::optional<std::string> status;
    PollUntil([&] {
      status = client.Ask("STATUS");
      return status && status->rfind("BUSY", 0) != 0;
    });
    return status;
  }

  Program program;
  LineClient client;
  std::vector<std::pair<int, radiosim::RadioSimulator*>> radios;
};

TEST_F(E2eUsbReadBack, EightRadiosWriteEightFilesEachHoldingItsOwnRadio) {
  ASSERT_NO_FATAL_FAILURE(StartWithRadios({1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(RunReadBack("REVERSE_FLASH \"rb.s19\" DEFAULT DEFAULT 1-2", 0), kDone);
  EXPECT_FALSE(program.Exists("rb.s19"));
  const auto log = program.LogLines();
  for (const auto& [id, radio] : radios) {
    const std::string device = "USB" + std::to_string(id);
    const std::string file = "rb_" + device + ".s19";
    SCOPED_TRACE(file);
    ASSERT_TRUE(program.Exists(file));
    EXPECT_EQ(SRecordBytes(program.File(file), kReadAddress, kReadSize), radio->GetFlash(kReadAddress, kReadSize));
    EXPECT_NE(std::find(log.begin(), log.end(), device + "> File saved " + file), log.end());
  }
  for (const auto& line : log) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
}

TEST_F(E2eUsbReadBack, OneRadioKeepsTheNameAsGiven) {
  ASSERT_NO_FATAL_FAILURE(StartWithRadios({4}));
  EXPECT_EQ(RunReadBack("REVERSE_FLASH one.s19 DEFAULT DEFAULT 1-2", 0), kDone);
  ASSERT_TRUE(program.Exists("one.s19"));
  EXPECT_FALSE(program.Exists("one_USB4.s19"));
  EXPECT_EQ(SRecordBytes(program.File("one.s19"), kReadAddress, kReadSize),
            radios[0].second->GetFlash(kReadAddress, kReadSize));
  EXPECT_TRUE(program.WaitLog("USB4> File saved one.s19"));
}

}  // namespace
}  // namespace e2e
