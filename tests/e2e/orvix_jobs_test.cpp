// The GPS-chip commands over the remote port: ORVIX_FLASH, ORVIX_ERASE and
// ORVIX_REVERSE_FLASH reach a simulated GPS chip wired behind the radio on
// COM1; the chip's flash and the saved file are compared byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "program_fixture.h"
#include "radio_gps_sim/gps_chip_behind_radio.h"

namespace e2e {
namespace {

constexpr std::uint32_t kImageLength = 24 * 1024;

std::vector<std::uint8_t> GpsImage() {
  std::vector<std::uint8_t> bytes(kImageLength);
  std::uint32_t state = 0x2468ACE;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = i % 4096 < 1024 ? static_cast<std::uint8_t>(i / 64) : static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

TEST(E2eOrvixJobs, FlashReverseFlashAndEraseTheChipBehindTheRadio) {
  Program program;
  radiosim::RadioSimulator& radio = program.ServeRadioOnCom1(ProductRadio());
  radio_gps_sim::GpsChipBehindRadio chip(radio);
  const auto image = GpsImage();
  program.Write("gps.bin", image);
  ProgramOptions options;
  options.dataRate = 0;  // the chip's link runs at 115200 bit/s
  ASSERT_TRUE(program.Start(options));
  LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());

  ASSERT_TRUE(client.Send("ORVIX_FLASH gps.bin"));
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 0", std::chrono::seconds(120)));
  const auto flash = chip.Chip().Flash();
  ASSERT_GE(flash.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));

  ASSERT_TRUE(client.Send("ORVIX_REVERSE_FLASH gps_readback.s19 0 0x5FFF DEFAULT"));
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 1", std::chrono::seconds(120)));
  EXPECT_EQ(SRecordBytes(program.File("gps_readback.s19"), 0, kImageLength), image);

  ASSERT_TRUE(client.Send("ORVIX_ERASE"));
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 2", std::chrono::seconds(120)));
  const auto erased = chip.Chip().Flash();
  ASSERT_GE(erased.size(), kImageLength);
  EXPECT_TRUE(std::all_of(erased.begin(), erased.begin() + kImageLength, [](std::uint8_t b) { return b == 0xFF; }));

  for (const char* line : {"COM1> Starting Orvix Flash", "COM1> Starting Orvix Reverse Flash",
                           "COM1> Starting Orvix Erase"}) {
    EXPECT_TRUE(program.WaitLog(line, std::chrono::seconds(1)));
  }
  for (const auto& line : program.LogLines()) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));
}

}  // namespace
}  // namespace e2e
