// The link layer's serial port over a pseudo-terminal: opening through the
// COM map, the line it sets, reads with polls and port time-outs, and writes
// that discard stale input.

#include "engine/link/serial_port.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "link_test_support.h"

namespace {

using namespace std::chrono_literals;
using link_testing::LinkedTerminal;
using link_testing::OpenDescriptorCount;
using link_testing::Stopwatch;

ISP_EXCEPTION ThrownBy(const std::function<void()>& action) {
  try {
    action();
  } catch (ISP_EXCEPTION e) {
    return e;
  }
  ADD_FAILURE() << "nothing thrown";
  return static_cast<ISP_EXCEPTION>(-1);
}

class CSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(line_.ok()); }
  void RadioSends(std::vector<std::uint8_t> bytes) {
    ASSERT_TRUE(line_.radio().Write(bytes.data(), bytes.size(), 1s));
  }
  void WaitUntilQueued(CSerialPort& port, std::size_t n) {
    for (Stopwatch w; w.ElapsedMs() < 2000 && port.InputQueueCount() < n;) {
    }
    ASSERT_EQ(port.InputQueueCount(), n);
  }
  LinkedTerminal line_;
};

TEST_F(CSerialPortTest, OpensTheComPortAtItsBitRate) {
  CSerialPort port(line_.PortName(), 115200);
  EXPECT_TRUE(port.IsOpen());
  platform::CommSettings far;
  ASSERT_TRUE(line_.radio().HostSettings(far));
  EXPECT_EQ(far.baudRate, 115200u);
  EXPECT_FALSE(far.ctsOutFlow);
  EXPECT_EQ(far.stopBits, platform::StopBits::One);
  port.SetBaudRate(460800);
  EXPECT_EQ(line_.radio().HostBaudRate(), 460800u);
}

TEST_F(CSerialPortTest, HardwareFlowControlOnlyForOne) {
  CSerialPort port(line_.PortName(), 9600);
  platform::CommSettings far;
  port.SetHardwareFlowControl(1);
  ASSERT_TRUE(line_.radio().HostSettings(far));
  EXPECT_TRUE(far.ctsOutFlow);
  port.SetHardwareFlowControl(2);
  ASSERT_TRUE(line_.radio().HostSettings(far));
  EXPECT_FALSE(far.ctsOutFlow);
  EXPECT_EQ(far.baudRate, 9600u);  // only the flow control changed
}

TEST_F(CSerialPortTest, MissingPortThrowsOpenErrorAndLeavesNothingOpen) {
  const int before = OpenDescriptorCount();
  EXPECT_EQ(ThrownBy([] { CSerialPort port("\\\\.\\COM6", 115200); }), ISP_OPEN_PORT_FAILED);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(CSerialPortTest, PortThatRefusesTheLineSettingsIsClosedAgain) {
  // COM7 is a plain file: it opens, but takes no line settings.
  std::ofstream(line_.folder() + "/COM7") << "";
  const int before = OpenDescriptorCount();
  EXPECT_EQ(ThrownBy([] { CSerialPort port("\\\\.\\COM7", 115200); }), ISP_SET_COMM_STATE_FAILED);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(CSerialPortTest, PortInUseCannotBeOpenedTwice) {
  CSerialPort first(line_.PortName(), 115200);
  EXPECT_EQ(ThrownBy([&] { CSerialPort second(line_.PortName(), 115200); }), ISP_OPEN_PORT_FAILED);
}

class SilentLine : public CSerialPortTest, public ::testing::WithParamInterface<unsigned> {};

// However the wait is made, N polls on a silent line last at least N ms
// and end in the reply time-out.
TEST_P(SilentLine, TimesOutAfterThePolls) {
  CSerialPort port(line_.PortName(), 115200);
  std::uint8_t buf[4];
  Stopwatch watch;
  EXPECT_EQ(ThrownBy([&] { port.ReadWithTimeout(buf, sizeof buf, GetParam()); }), ISP_SERIAL_BUS_TIMEOUT);
  EXPECT_GE(watch.ElapsedMs(), static_cast<long long>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Polls, SilentLine, ::testing::Values(0u, 1u, 20u, 250u));

// The reply's first byte ends the wait for it: a wait of a minute returns
// with the reply as soon as the radio answers the request.
TEST_F(CSerialPortTest, AByteThatArrivesEndsTheWait) {
  CSerialPort port(line_.PortName(), 115200);
  std::thread radio([this] {
    std::uint8_t request = 0;
    if (line_.radio().ReadExact(&request, 1, 10s) == 1) RadioSends({0x50, static_cast<std::uint8_t>(request + 1)});
  });
  const std::uint8_t request = 0x41;
  port.Write(&request, 1);
  std::uint8_t reply[2] = {};
  Stopwatch watch;
  port.ReadWithTimeout(reply, 2, 60000);
  radio.join();
  EXPECT_LT(watch.ElapsedMs(), 30000);  // the byte, not the polls, ended it
  EXPECT_EQ(reply[0], 0x50);
  EXPECT_EQ(reply[1], 0x42);
}

// The output wait lasts as long as the line takes to send the request, so
// that a reply's time-out counts from the moment the request has left.
TEST_F(CSerialPortTest, WriteReturnsWhenTheLineHasSentTheRequest) {
  CSerialPort port(line_.PortName(), 9600);
  const std::vector<std::uint8_t> request(96, 0x55);  // 100 ms at 9600 bit/s
  Stopwatch watch;
  EXPECT_EQ(port.Write(request.data(), request.size()), 1);
  EXPECT_GE(watch.ElapsedMs(), 95);
  EXPECT_TRUE(port.OutputQueueEmpty());
  std::vector<std::uint8_t> seen(request.size());
  EXPECT_EQ(line_.radio().ReadExact(seen.data(), seen.size(), 2s), request.size());
}

TEST_F(CSerialPortTest, ShortReplyIsACountMismatchAfterThePortTimeouts) {
  CSerialPort port(line_.PortName(), 115200);
  RadioSends({0x50});
  std::uint8_t buf[4];
  Stopwatch watch;
  EXPECT_EQ(ThrownBy([&] { port.ReadWithTimeout(buf, sizeof buf, 20); }), ISP_READ_COUNT_MISMATCH);
  // 100 ms + 5 ms per byte asked, well before the 1000 ms gap limit.
  EXPECT_GE(watch.ElapsedMs(), 115);
  EXPECT_LT(watch.ElapsedMs(), 900);
  EXPECT_EQ(buf[0], 0x50);
}

TEST_F(CSerialPortTest, WholeReplyIsReadIntoTheBuffer) {
  CSerialPort port(line_.PortName(), 115200);
  RadioSends({1, 2, 3});
  std::uint8_t buf[3] = {};
  port.ReadWithTimeout(buf, 3, 500);
  EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 3), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(CSerialPortTest, WriteDiscardsBytesThatCameBefore) {
  CSerialPort port(line_.PortName(), 115200);
  RadioSends({0xEE, 0xEE, 0xEE});
  WaitUntilQueued(port, 3);
  const std::uint8_t request[2] = {0x03, 0x04};
  EXPECT_EQ(port.Write(request, sizeof request), 1);
  EXPECT_FALSE(port.InputPending());
  std::uint8_t seen[2] = {};
  ASSERT_EQ(line_.radio().ReadExact(seen, 2, 1s), 2u);
  EXPECT_EQ(seen[1], 0x04);
  RadioSends({0x50});
  std::uint8_t reply = 0;
  port.ReadWithTimeout(&reply, 1, 500);
  EXPECT_EQ(reply, 0x50);
}

TEST_F(CSerialPortTest, ReadZeroFillsWhatDidNotCome) {
  CSerialPort port(line_.PortName(), 115200);
  RadioSends({0x11});
  WaitUntilQueued(port, 1);
  std::uint8_t buf[3] = {0xAA, 0xAA, 0xAA};
  EXPECT_EQ(port.Read(buf, 3), 1u);
  EXPECT_EQ(buf[0], 0x11);
  EXPECT_EQ(buf[1], 0);
  EXPECT_EQ(buf[2], 0);
}

TEST_F(CSerialPortTest, CloseTwiceThrowsCloseError) {
  CSerialPort port(line_.PortName(), 115200);
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(ThrownBy([&] { port.Close(); }), ISP_CLOSE_PORT_FAILED);
  // Reopening works once closed.
  port.Open(line_.PortName(), 230400);
  EXPECT_EQ(line_.radio().HostBaudRate(), 230400u);
}

}  // namespace
