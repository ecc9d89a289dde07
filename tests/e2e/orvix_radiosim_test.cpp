// The GPS-chip commands against the shipped simulator alone: radiosim
// --gps-chip runs as a process of its own on COM1, the real program flashes
// the chip behind its radio over the remote port and reads it back, and the
// chip's flash that radiosim writes at its end is compared with the image.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "program_fixture.h"
#include "radiosim_process.h"

namespace e2e {
namespace {

constexpr char kPart[] = "AM29LV800BB";
constexpr std::uint32_t kPartSize = 0x100000;
constexpr std::uint32_t kImageLength = 40 * 1024;

std::vector<std::uint8_t> GpsImage() {
  std::vector<std::uint8_t> bytes(kImageLength);
  std::uint32_t state = 0x13579BD;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = i % 8192 < 2048 ? static_cast<std::uint8_t>(i / 32) : static_cast<std::uint8_t>(state >> 16);
  }
  return bytes;
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(E2eOrvixRadiosim, FlashAndReadBackTheChipOfTheRadiosimCommand) {
  Program program;
  const auto image = GpsImage();
  program.Write("gps.bin", image);
  RadiosimProcess radiosim;
  ASSERT_TRUE(radiosim.Start(program.File("com"), 1,
                             {"--boot", "harrow", "--sectors", "64Kx16", "--gps-chip", kPart, "--gps-flash-out",
                              program.File("chip.bin")}));
  ProgramOptions options;
  options.dataRate = 0;  // the chip's link runs at 115200 bit/s
  ASSERT_TRUE(program.Start(options));
  LineClient client = program.Connect();
  ASSERT_TRUE(client.Valid());

  ASSERT_TRUE(client.Send("ORVIX_FLASH gps.bin"));
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 0", std::chrono::seconds(120)));
  ASSERT_TRUE(client.Send("ORVIX_REVERSE_FLASH gps_readback.s19 0 0x9FFF DEFAULT"));
  ASSERT_TRUE(program.WaitLog("COM1> Item finished with sequence number 1", std::chrono::seconds(120)));
  EXPECT_EQ(SRecordBytes(program.File("gps_readback.s19"), 0, kImageLength), image);
  for (const auto& line : program.LogLines()) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
  EXPECT_TRUE(PollUntil([&] { return client.Ask("STATUS") == "DONE \"Processing Complete\"\n"; }));

  EXPECT_EQ(radiosim.Stop(std::chrono::seconds(30)), 0) << radiosim.Output();
  const auto chip = FileBytes(program.File("chip.bin"));
  ASSERT_EQ(chip.size(), kPartSize);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), chip.begin())) << "the chip's flash differs from the image";
  EXPECT_TRUE(std::all_of(chip.begin() + kImageLength, chip.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

}  // namespace
}  // namespace e2e
