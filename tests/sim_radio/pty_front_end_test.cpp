// The pseudo-terminal front end: the host's port on the slave, closed and
// reopened between steps, at the bit rates the radio expects or not.

#include "radiosim/pty_front_end.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com_map.h"
#include "platform/serial_port.h"
#include "platform/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A host port as a test opens it: raw, at a bit rate, with a read time-out.
class HostPort {
 public:
  HostPort(const std::string& path, std::uint32_t rate) {
    ok_ = port_.Open(path);
    platform::CommSettings settings;
    settings.baudRate = rate;
    ok_ = ok_ && port_.SetState(settings);
    platform::CommTimeouts timeouts;
    timeouts.ReadIntervalTimeout = 100;
    timeouts.ReadTotalTimeoutConstant = 1000;
    ok_ = ok_ && port_.SetTimeouts(timeouts);
  }
  bool ok() const { return ok_; }
  void Send(const Bytes& bytes) {
    std::size_t written = 0;
    ASSERT_TRUE(port_.Write(bytes.data(), bytes.size(), written));
  }
  Bytes Read(std::size_t count) {
    Bytes bytes(count);
    std::size_t got = 0;
    EXPECT_TRUE(port_.Read(bytes.data(), count, got));
    bytes.resize(got);
    return bytes;
  }

 private:
  platform::SerialPort port_;
  bool ok_ = false;
};

class PtyRadio : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = platform::MakeTemporaryFolder("radiosim-pty-");
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override {
    front_.reset();
    std::filesystem::remove_all(folder_);
  }
  void Serve(radiosim::RadioConfig config) {
    radio_ = std::make_unique<radiosim::RadioSimulator>(config);
    front_ = std::make_unique<radiosim::PtyFrontEnd>(*radio_);
    ASSERT_TRUE(front_->Start());
    ASSERT_TRUE(front_->LinkAs(folder_, 4));
  }
  std::string Com4() const { return folder_ + "/COM4"; }

  std::string folder_;
  std::unique_ptr<radiosim::RadioSimulator> radio_;
  std::unique_ptr<radiosim::PtyFrontEnd> front_;
};

TEST_F(PtyRadio, AnswersThroughTheComLinkAndKeepsStateAcrossReopens) {
  Serve({.bootLoader = radiosim::BootLoaderType::Calder});
  EXPECT_TRUE(std::filesystem::is_symlink(Com4()));
  {
    HostPort port(Com4(), 19200);
    ASSERT_TRUE(port.ok());
    port.Send({0x61, 0x41});
    EXPECT_EQ(port.Read(1), Bytes{'l'});
  }
  {
    HostPort port(Com4(), 19200);
    ASSERT_TRUE(port.ok());
    port.Send({0x61, 0x41});
    EXPECT_EQ(port.Read(1), Bytes{'l'});
  }
  EXPECT_EQ(radio_->GetTranscript().Count("rx 19200: 61 41"), 2u);
}

TEST_F(PtyRadio, StrictModeReadsTheHostsRateFromTheMaster) {
  Serve({.divisor = 2, .strictRate = true});
  {
    HostPort port(Com4(), 19200);
    ASSERT_TRUE(port.ok());
    port.Send({0x61, 0x41});
    EXPECT_EQ(port.Read(1), Bytes{});
  }
  HostPort port(Com4(), 9600);
  ASSERT_TRUE(port.ok());
  port.Send({0x61, 0x41});
  EXPECT_EQ(port.Read(1), Bytes{'Z'});
  EXPECT_EQ(radio_->GetTranscript().Count("drop 19200 expected 9600"), 1u);
}

// FF 22 L payload checksum.
Bytes Frame(const Bytes& payload) {
  Bytes frame{0xFF, 0x22, static_cast<std::uint8_t>((payload.size() + 1) >> 8),
              static_cast<std::uint8_t>(payload.size() + 1)};
  frame.insert(frame.end(), payload.begin(), payload.end());
  unsigned sum = 0;
  for (auto b : frame) sum += b;
  frame.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
  return frame;
}

TEST_F(PtyRadio, FlashKeepsItsContentAcrossReopens) {
  Serve({.powerOn = radiosim::PowerOnState::Kernel});
  {
    HostPort port(Com4(), 115200);
    ASSERT_TRUE(port.ok());
    port.Send(Frame({0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x12, 0x34}));
    EXPECT_EQ(port.Read(9), (Bytes{0x50, 0xFF, 0x23, 0x00, 0x04, 0x01, 0x80, 0x00, 0x58}));
  }
  HostPort port(Com4(), 115200);
  ASSERT_TRUE(port.ok());
  port.Send(Frame({0x01, 0x06, 0x00, 0x00, 0x02, 0x00, 0x00, 0x02, 0x00}));
  const Bytes reply = port.Read(18);
  ASSERT_EQ(reply.size(), 18u);
  EXPECT_EQ(Bytes(reply.begin() + 12, reply.begin() + 17), (Bytes{0x00, 0x02, 0x00, 0x12, 0x34}));
}

// With line timing a reply cannot come sooner than its bytes take at the
// host's rate, nor can a request be answered before it has all arrived.
TEST_F(PtyRadio, LineTimingTakesEachBytesTimeBothWays) {
  Serve({.powerOn = radiosim::PowerOnState::Kernel, .lineTiming = true});
  HostPort port(Com4(), 115200);
  ASSERT_TRUE(port.ok());
  using Clock = std::chrono::steady_clock;

  // A read of 1024 raw bytes: ACK and a 1039-byte reply frame, 90 ms at 115200.
  auto start = Clock::now();
  port.Send(Frame({0x01, 0x06, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00}));
  EXPECT_EQ(port.Read(1040).size(), 1040u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(88));

  // A program request of 3072 bytes is a 3085-byte frame: 267 ms at 115200.
  Bytes program{0x01, 0x00, 0x00, 0x00, 0x10, 0x00, 0x0C, 0x00};
  program.resize(8 + 3072, 0x5A);
  start = Clock::now();
  port.Send(Frame(program));
  EXPECT_EQ(port.Read(9).size(), 9u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(264));
  EXPECT_EQ(radio_->GetFlash(0x1000, 3072), Bytes(3072, 0x5A));
}

TEST_F(PtyRadio, StopRemovesTheLink) {
  Serve({});
  front_->Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Com4())));
}

}  // namespace
