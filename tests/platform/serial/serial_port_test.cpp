// The serial port over a real pseudo-terminal: line settings as the far end
// sees them, the read and write time-out rules, purge and queue counts, modem
// lines on a line that has none, and exclusive opens.

#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/pseudo_terminal.h"
#include "serial_test_support.h"

namespace {

using namespace std::chrono_literals;
using platform::CommSettings;
using platform::CommTimeouts;
using platform::kMaxDword;
using platform::PseudoTerminal;
using platform::SerialPort;
using serial_testing::Stopwatch;

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Open());
    ASSERT_TRUE(port_.Open(pty_.SlavePath())) << port_.LastErrno();
  }
  void SendFromFarEnd(std::vector<std::uint8_t> bytes) { ASSERT_TRUE(pty_.Write(bytes.data(), bytes.size(), 1s)); }
  void SetTimeouts(CommTimeouts t) { ASSERT_TRUE(port_.SetTimeouts(t)); }

  PseudoTerminal pty_;
  SerialPort port_;
};

TEST_F(SerialPortTest, BytesTravelBothWaysUntranslated) {
  // Bytes that a cooked terminal would change or swallow: CR, LF, ^C, ^S, ^Q, DEL.
  const std::vector<std::uint8_t> bytes{0x0D, 0x0A, 0x03, 0x13, 0x11, 0x7F, 0x00, 0xFF};
  std::size_t n = 0;
  ASSERT_TRUE(port_.Write(bytes.data(), bytes.size(), n));
  EXPECT_EQ(n, bytes.size());
  std::vector<std::uint8_t> seen(bytes.size());
  EXPECT_EQ(pty_.ReadExact(seen.data(), seen.size(), 2s), bytes.size());
  EXPECT_EQ(seen, bytes);

  SendFromFarEnd(bytes);
  SetTimeouts({0, 0, 0, 0, 0});
  std::vector<std::uint8_t> got(bytes.size());
  ASSERT_TRUE(port_.Read(got.data(), got.size(), n));
  EXPECT_EQ(n, bytes.size());
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(pty_.InputPending(), 0u);  // nothing echoed back
}

TEST_F(SerialPortTest, AnyBitRateReachesTheFarEnd) {
  for (std::uint32_t rate : {9600u, 115200u, 230400u, 460800u, 12345u, 57600u * 3}) {
    CommSettings s;
    s.baudRate = rate;
    ASSERT_TRUE(port_.SetState(s)) << rate;
    EXPECT_EQ(pty_.HostBaudRate(), rate);
    CommSettings back;
    ASSERT_TRUE(port_.GetState(back));
    EXPECT_EQ(back.baudRate, rate);
  }
}

TEST_F(SerialPortTest, CharacterFormatAndFlowControlRoundTrip) {
  CommSettings s;
  s.baudRate = 4800;
  s.byteSize = 7;
  s.parity = platform::Parity::Even;
  s.stopBits = platform::StopBits::Two;
  s.ctsOutFlow = true;
  s.xonXoffIn = true;
  s.dtrControl = platform::DtrControl::Disable;
  ASSERT_TRUE(port_.SetState(s));
  CommSettings far;
  ASSERT_TRUE(pty_.HostSettings(far));
  // A pseudo-terminal always carries 8 data bits without parity (the kernel
  // forces them), so only the other fields reach the far end.
  EXPECT_EQ(far.stopBits, platform::StopBits::Two);
  EXPECT_TRUE(far.ctsOutFlow);
  EXPECT_TRUE(far.xonXoffIn);
  EXPECT_FALSE(far.xonXoffOut);
  CommSettings back;
  ASSERT_TRUE(port_.GetState(back));
  EXPECT_EQ(back.dtrControl, platform::DtrControl::Disable);
  EXPECT_TRUE(back.ctsOutFlow);
}

TEST_F(SerialPortTest, InvalidSettingsAreRefused) {
  CommSettings s;
  s.baudRate = 0;
  EXPECT_FALSE(port_.SetState(s));
  EXPECT_EQ(port_.LastError(), platform::kErrorInvalidParameter);
  s.baudRate = 9600;
  s.byteSize = 9;
  EXPECT_FALSE(port_.SetState(s));
}

// One row per time-out rule: what is queued before the read, what the read
// asks for, and what it gives back within which times.
struct ReadCase {
  const char* rule;
  CommTimeouts timeouts;
  std::size_t queued;
  std::size_t asked;
  std::size_t expectRead;
  long long atLeastMs;
  long long atMostMs;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.rule; }

class ReadTimeoutTest : public SerialPortTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadTimeoutTest, FollowsTheRule) {
  const ReadCase& c = GetParam();
  SetTimeouts(c.timeouts);
  SendFromFarEnd(std::vector<std::uint8_t>(c.queued, 0x5A));
  // Wait until the queued bytes are visible to the port, so the read finds them.
  platform::CommStatus st;
  for (Stopwatch w; w.ElapsedMs() < 2000;) {
    ASSERT_TRUE(port_.ClearError(&st));
    if (st.inQueue == c.queued) break;
  }
  ASSERT_EQ(st.inQueue, c.queued);
  std::vector<std::uint8_t> buf(c.asked);
  std::size_t n = 99;
  Stopwatch watch;
  ASSERT_TRUE(port_.Read(buf.data(), buf.size(), n));
  const long long ms = watch.ElapsedMs();
  EXPECT_EQ(n, c.expectRead);
  EXPECT_GE(ms, c.atLeastMs);
  EXPECT_LE(ms, c.atMostMs);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ReadTimeoutTest,
    ::testing::Values(
        ReadCase{"at once, nothing queued", {kMaxDword, 0, 0, 0, 0}, 0, 8, 0, 0, 50},
        ReadCase{"at once, part queued", {kMaxDword, 0, 0, 0, 0}, 3, 8, 3, 0, 50},
        ReadCase{"first byte only, silent", {kMaxDword, kMaxDword, 80, 0, 0}, 0, 8, 0, 75, 1500},
        ReadCase{"first byte only, queued", {kMaxDword, kMaxDword, 500, 0, 0}, 2, 8, 2, 0, 250},
        ReadCase{"total, silent: 100 + 5 per byte", {1000, 5, 100, 0, 0}, 0, 4, 0, 115, 1500},
        ReadCase{"total ends before the interval", {1000, 5, 100, 0, 0}, 1, 4, 1, 115, 900},
        ReadCase{"interval after the last byte", {60, 0, 0, 0, 0}, 2, 4, 2, 55, 1500},
        ReadCase{"all there, no wait", {1000, 5, 100, 0, 0}, 6, 6, 6, 0, 100}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(SerialPortTest, ReadWithoutTimeoutsWaitsForEveryByte) {
  SetTimeouts({0, 0, 0, 0, 0});
  std::thread farEnd([this] {
    for (std::uint8_t b = 1; b <= 4; ++b) pty_.Write(&b, 1, 1s);
  });
  std::uint8_t buf[4] = {};
  std::size_t n = 0;
  ASSERT_TRUE(port_.Read(buf, sizeof buf, n));
  farEnd.join();
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(buf[3], 4);
}

TEST_F(SerialPortTest, WriteTimeoutEndsAWriteThatCannotDrain) {
  // The far end never reads, so the terminal's buffers fill up.
  SetTimeouts({0, 0, 0, 0, 100});
  std::vector<std::uint8_t> big(1 << 20, 0x41);
  std::size_t n = 0;
  Stopwatch watch;
  ASSERT_TRUE(port_.Write(big.data(), big.size(), n));
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_GE(watch.ElapsedMs(), 95);
  EXPECT_LE(watch.ElapsedMs(), 2000);
}

TEST_F(SerialPortTest, WrittenBytesStayQueuedAsLongAsTheLineTakesToSendThem) {
  // A byte takes its start bit, data bits, parity bit and stop bits.
  const struct {
    std::uint32_t rate;
    std::uint8_t byteSize;
    platform::Parity parity;
    platform::StopBits stopBits;
    std::size_t bytes;
    double bitsPerByte;
  } cases[] = {{9600, 8, platform::Parity::None, platform::StopBits::One, 1000, 10},     // 8N1: 1042 ms
               {11000, 7, platform::Parity::Even, platform::StopBits::Two, 1000, 11}};  // 7E2: 1000 ms
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    CommSettings s;
    s.baudRate = c.rate;
    s.byteSize = c.byteSize;
    s.parity = c.parity;
    s.stopBits = c.stopBits;
    ASSERT_TRUE(port_.SetState(s));
    const double seconds = static_cast<double>(c.bytes) * c.bitsPerByte / c.rate;
    std::vector<std::uint8_t> bytes(c.bytes, 0x5A);
    std::size_t n = 0;
    Stopwatch watch;
    ASSERT_TRUE(port_.Write(bytes.data(), bytes.size(), n));
    ASSERT_EQ(n, bytes.size());
    platform::CommStatus st;
    ASSERT_TRUE(port_.ClearError(&st));
    EXPECT_GT(st.outQueue, c.bytes / 2);  // the write itself takes far less than half the line time
    EXPECT_LE(st.outQueue, c.bytes);
    while (st.outQueue > 0) ASSERT_TRUE(port_.ClearError(&st));
    EXPECT_GE(watch.ElapsedMs(), static_cast<long long>(seconds * 1000) - 1);
    EXPECT_LE(watch.ElapsedMs(), static_cast<long long>(seconds * 1000) + 1000);
    // The far end has every byte already: the line's time is only counted.
    std::vector<std::uint8_t> seen(bytes.size());
    EXPECT_EQ(pty_.ReadExact(seen.data(), seen.size(), 2s), bytes.size());
  }
}

TEST_F(SerialPortTest, PurgeDropsQueuedInputAndQueueCountsShowIt) {
  SendFromFarEnd({1, 2, 3, 4, 5});
  platform::CommStatus st;
  for (Stopwatch w; w.ElapsedMs() < 2000 && st.inQueue < 5;) ASSERT_TRUE(port_.ClearError(&st));
  EXPECT_EQ(st.inQueue, 5u);
  EXPECT_EQ(st.outQueue, 0u);
  ASSERT_TRUE(port_.Purge(platform::kPurgeRxClear | platform::kPurgeTxClear));
  ASSERT_TRUE(port_.ClearError(&st));
  EXPECT_EQ(st.inQueue, 0u);
  SetTimeouts({kMaxDword, 0, 0, 0, 0});
  std::uint8_t b;
  std::size_t n = 1;
  ASSERT_TRUE(port_.Read(&b, 1, n));
  EXPECT_EQ(n, 0u);
}

TEST_F(SerialPortTest, ModemLinesAreToleratedWhereThereAreNone) {
  std::uint32_t bits = 0xFFFF;
  ASSERT_TRUE(port_.GetModemStatus(bits));
  EXPECT_EQ(bits, 0u);
  for (auto line : {platform::ModemLine::SetDtr, platform::ModemLine::ClearDtr, platform::ModemLine::SetRts,
                    platform::ModemLine::ClearRts, platform::ModemLine::SetBreak,
                    platform::ModemLine::ClearBreak}) {
    EXPECT_TRUE(port_.EscapeFunction(line));
  }
}

TEST_F(SerialPortTest, OpenIsExclusiveUntilClosed) {
  SerialPort second;
  EXPECT_FALSE(second.Open(pty_.SlavePath()));
  EXPECT_EQ(second.LastError(), platform::kErrorAccessDenied);
  ASSERT_TRUE(port_.Close());
  EXPECT_TRUE(second.Open(pty_.SlavePath())) << second.LastErrno();
}

TEST_F(SerialPortTest, HostCanCloseAndReopenWhileTheFarEndStays) {
  CommSettings s;
  s.baudRate = 230400;
  ASSERT_TRUE(port_.SetState(s));
  ASSERT_TRUE(port_.Close());
  EXPECT_FALSE(port_.Close());  // closing twice is a failure, not a crash
  EXPECT_EQ(pty_.HostBaudRate(), 230400u);
  ASSERT_TRUE(port_.Open(pty_.SlavePath()));
  const std::uint8_t b = 0x42;
  std::size_t n = 0;
  ASSERT_TRUE(port_.Write(&b, 1, n));
  std::uint8_t seen = 0;
  EXPECT_EQ(pty_.ReadExact(&seen, 1, 2s), 1u);
  EXPECT_EQ(seen, 0x42);
}

TEST_F(SerialPortTest, WaitsForInputEndOnABytesArrivalOrTheirTimeOut) {
  bool ready = true;
  Stopwatch watch;
  ASSERT_TRUE(port_.WaitForInput(30, ready));
  EXPECT_FALSE(ready);
  EXPECT_GE(watch.ElapsedMs(), 30);
  SendFromFarEnd({0x01});
  ASSERT_TRUE(port_.WaitForInput(60000, ready));
  EXPECT_TRUE(ready);
  bool drained = false;
  ASSERT_TRUE(port_.WaitForOutputDrained(0, drained));
  EXPECT_TRUE(drained);  // nothing written
}

TEST_F(SerialPortTest, TheLineFoundAtOpenCanBePutBackWhole) {
  ASSERT_TRUE(port_.Close());
  ASSERT_TRUE(platform::WriteTerminalModes(pty_.SlavePath(), {9600, true}));
  ASSERT_TRUE(port_.Open(pty_.SlavePath()));
  platform::TerminalModes modes;
  ASSERT_TRUE(platform::ReadTerminalModes(pty_.SlavePath(), modes));
  EXPECT_FALSE(modes.cooked);  // the port works raw
  CommSettings s;
  s.baudRate = 115200;
  ASSERT_TRUE(port_.SetState(s));
  ASSERT_TRUE(port_.RestoreLine(port_.LineFoundAtOpen()));
  ASSERT_TRUE(platform::ReadTerminalModes(pty_.SlavePath(), modes));
  EXPECT_TRUE(modes.cooked);
  EXPECT_EQ(modes.baudRate, 9600u);
}

TEST_F(SerialPortTest, AMovedPortKeepsItsLineAndReportsNoFailure) {
  SerialPort moved(std::move(port_));
  EXPECT_TRUE(moved.IsOpen());
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(moved.LastError(), 0u);
  SerialPort assigned;
  assigned = std::move(moved);
  EXPECT_EQ(assigned.LastError(), 0u);
  const std::uint8_t b = 0x5A;
  std::size_t n = 0;
  ASSERT_TRUE(assigned.Write(&b, 1, n));
  std::uint8_t seen = 0;
  EXPECT_EQ(pty_.ReadExact(&seen, 1, 2s), 1u);
  EXPECT_EQ(seen, 0x5A);
}

TEST(SerialPortOpen, MissingDeviceIsFileNotFound) {
  serial_testing::TempFolder dir;
  SerialPort port;
  EXPECT_FALSE(port.Open(dir.path() + "/no-such-port"));
  EXPECT_EQ(port.LastError(), platform::kErrorFileNotFound);
  EXPECT_FALSE(port.IsOpen());
}

// A COM port without its link in the COM map folder is reported by the link
// the user has to make, not only by the /dev/ttyS fallback that was tried.
TEST(SerialPortOpen, AMissingComLinkIsNamedInTheFailure) {
  serial_testing::TempFolder dir;
  serial_testing::ComDirOverride over(dir.path());
  SerialPort port;
  EXPECT_FALSE(port.Open("COM200"));
  EXPECT_EQ(port.LastError(), platform::kErrorFileNotFound);
  EXPECT_EQ(port.OpenFailure(), dir.path() + "/COM200: No such file or directory (no such link in " + dir.path() +
                                    "; /dev/ttyS199, tried in its place: No such file or directory)");
  // A link that is there is named as it is.
  std::filesystem::create_symlink(dir.path() + "/gone", dir.path() + "/COM9");
  EXPECT_FALSE(port.Open("COM9"));
  EXPECT_EQ(port.OpenFailure(), dir.path() + "/COM9: No such file or directory");
}

TEST(SerialPortOpen, ANonTerminalOpensButRefusesLineSettings) {
  serial_testing::TempFolder dir;
  const std::string file = dir.path() + "/plain";
  std::ofstream(file) << "x";
  SerialPort port;
  ASSERT_TRUE(port.Open(file));
  CommSettings s;
  EXPECT_FALSE(port.SetState(s));
  EXPECT_EQ(port.LastError(), platform::kErrorInvalidParameter);
  EXPECT_FALSE(port.GetState(s));
  EXPECT_TRUE(port.Close());
}

TEST(SerialPortOpen, OperationsOnAClosedPortFail) {
  SerialPort port;
  std::uint8_t b = 0;
  std::size_t n = 0;
  EXPECT_FALSE(port.Read(&b, 1, n));
  EXPECT_FALSE(port.Write(&b, 1, n));
  EXPECT_FALSE(port.Purge(platform::kPurgeRxClear));
  EXPECT_FALSE(port.ClearError(nullptr));
  EXPECT_EQ(port.LastError(), platform::kErrorInvalidHandle);
}

}  // namespace
