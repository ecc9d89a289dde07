// The radiosim command: serves one radio linked as COMn into a folder,
// answers through it, writes its transcript, and cleans up when it ends.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/serial_port.h"
#include "platform/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(QUILLON_BINARY_DIR) + "/bin/radiosim";

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class RadiosimCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("radiosim-cmd-");
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override { fs::remove_all(folder_); }
  int Run(const std::string& arguments) {
    const int status = std::system((kProgram + " " + arguments + " >" + folder_ + "/out.txt 2>&1").c_str());
    return status >= 0 ? (status >> 8) & 0xFF : -1;
  }
  std::string folder_;
};

TEST_F(RadiosimCommand, ServesARadioOnTheComLink) {
  const std::string com = folder_ + "/COM7";
  const std::string transcript = folder_ + "/radio.txt";
  std::thread server([&] {
    Run("--dir " + folder_ + " --com 7 --boot calder --transcript " + transcript + " --seconds 3");
  });
  ASSERT_TRUE(Eventually([&] { return fs::is_symlink(com); }, std::chrono::seconds(5)));
  {
    platform::SerialPort port;
    ASSERT_TRUE(port.Open(com));
    platform::CommSettings settings;
    settings.baudRate = 19200;
    ASSERT_TRUE(port.SetState(settings));
    platform::CommTimeouts timeouts{100, 0, 2000, 0, 0};
    ASSERT_TRUE(port.SetTimeouts(timeouts));
    const std::uint8_t ping[] = {0x61, 0x41};
    std::size_t moved = 0;
    ASSERT_TRUE(port.Write(ping, sizeof ping, moved));
    std::uint8_t answer = 0;
    ASSERT_TRUE(port.Read(&answer, 1, moved));
    EXPECT_EQ(moved, 1u);
    EXPECT_EQ(answer, 'l');
  }
  server.join();
  EXPECT_FALSE(fs::exists(fs::symlink_status(com)));
  const std::string lines = ReadFile(transcript);
  EXPECT_NE(lines.find("boot loader running at 19200"), std::string::npos) << lines;
  EXPECT_NE(lines.find("boot ping answer 6C"), std::string::npos) << lines;
  EXPECT_NE(ReadFile(folder_ + "/out.txt").find("radiosim: calder boot loader on"), std::string::npos);
}

TEST_F(RadiosimCommand, ServesTheFlashItWasGiven) {
  const std::string image = folder_ + "/flash.bin";
  {
    std::ofstream out(image, std::ios::binary);
    out << "ABCDEFGH";
  }
  std::thread server([&] {
    Run("--dir " + folder_ + " --com 8 --power-on kernel --flash-base 0x10000 --sectors 4Kx4 --flash-image " + image +
        " --protect 3 --line-timing --seconds 3");
  });
  const std::string com = folder_ + "/COM8";
  ASSERT_TRUE(Eventually([&] { return fs::is_symlink(com); }, std::chrono::seconds(5)));
  platform::SerialPort port;
  ASSERT_TRUE(port.Open(com));
  platform::CommSettings settings;
  settings.baudRate = 115200;
  ASSERT_TRUE(port.SetState(settings));
  platform::CommTimeouts timeouts{100, 0, 2000, 0, 0};
  ASSERT_TRUE(port.SetTimeouts(timeouts));
  // 01 06 00010002 0004 00 in a frame: FF 22 00 0A ... checksum.
  std::vector<std::uint8_t> frame{0xFF, 0x22, 0x00, 0x0A, 0x01, 0x06, 0x00, 0x01, 0x00, 0x02, 0x00, 0x04, 0x00};
  unsigned sum = 0;
  for (auto b : frame) sum += b;
  frame.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
  std::size_t moved = 0;
  ASSERT_TRUE(port.Write(frame.data(), frame.size(), moved));
  std::vector<std::uint8_t> reply(20);
  std::size_t got = 0;
  while (got < reply.size()) {
    ASSERT_TRUE(port.Read(reply.data() + got, reply.size() - got, moved));
    if (moved == 0) break;
    got += moved;
  }
  ASSERT_EQ(got, 20u);
  EXPECT_EQ(std::string(reply.begin() + 15, reply.begin() + 19), "CDEF");
  port.Close();
  server.join();
}

TEST_F(RadiosimCommand, RefusesAFlashImageLargerThanTheFlash) {
  const std::string image = folder_ + "/big.bin";
  {
    std::ofstream out(image, std::ios::binary);
    out << std::string(0x2001, 'x');
  }
  EXPECT_EQ(Run("--dir " + folder_ + " --com 9 --sectors 4Kx2 --flash-image " + image + " --seconds 1"), 1);
  EXPECT_NE(ReadFile(folder_ + "/out.txt").find("is larger than the flash"), std::string::npos);
  EXPECT_EQ(Run("--dir " + folder_ + " --com 9 --flash-image " + folder_ + "/missing.bin --seconds 1"), 1);
  EXPECT_NE(ReadFile(folder_ + "/out.txt").find("cannot read the flash image"), std::string::npos);
}

TEST_F(RadiosimCommand, RefusesBadOptions) {
  const char* bad[] = {"--com 3", "--dir x --com 0", "--dir x --com 3 --boot nosuch", "--dir x --com 3 --fault nak:x",
                       "--dir x --com 3 --divisor 0", "--dir x --com 3 --bogus 1",
                       "--dir x --com 3 --sectors 64K", "--dir x --com 3 --protect 64",
                       "--dir x --com 3 --sectors 4Kx2 --protect 2", "--dir x --com 3 --custom zz=hi",
                       "--dir x --com 3 --ram 0x1000:0", "--dir x --com 3 --flash-base 0xFFFF0000",
                       "--dir x --com 3 --smart-buffer 16", "--dir x --com 3 --fault erase-failure:0"};
  for (const char* arguments : bad) {
    EXPECT_EQ(Run(arguments), 2) << arguments;
    EXPECT_NE(ReadFile(folder_ + "/out.txt").find("usage: radiosim"), std::string::npos) << arguments;
  }
}

TEST_F(RadiosimCommand, RefusesAGpsChipItDoesNotKnow) {
  const std::pair<const char*, const char*> cases[] = {
      {"--dir x --com 3 --gps-chip NOSUCH", "radiosim: unknown GPS flash part NOSUCH"},
      {"--dir x --com 3 --gps-flash-out chip.bin", "radiosim: --gps-flash-out needs --gps-chip"},
  };
  for (const auto& [arguments, message] : cases) {
    EXPECT_EQ(Run(arguments), 2) << arguments;
    EXPECT_NE(ReadFile(folder_ + "/out.txt").find(message), std::string::npos) << arguments;
  }
}

}  // namespace
