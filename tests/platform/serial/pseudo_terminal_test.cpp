// The simulators' side of a pseudo-terminal: the host's settings read from
// the master, waits with deadlines, cancelling a wait, and the COMn link.

#include "platform/pseudo_terminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/com_map.h"
#include "platform/serial_port.h"
#include "serial_test_support.h"

namespace {

using namespace std::chrono_literals;
using platform::PseudoTerminal;
using serial_testing::Stopwatch;
namespace fs = std::filesystem;

TEST(PseudoTerminal, ReadWaitsUpToItsDeadline) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Open());
  std::uint8_t buf[4];
  Stopwatch watch;
  EXPECT_EQ(pty.Read(buf, sizeof buf, 60ms), 0);
  EXPECT_GE(watch.ElapsedMs(), 55);
  EXPECT_EQ(pty.ReadExact(buf, sizeof buf, 30ms), 0u);
}

TEST(PseudoTerminal, CancelWakesABlockedRead) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Open());
  long result = 0;
  std::thread reader([&] {
    std::uint8_t b;
    result = pty.Read(&b, 1, 60s);
  });
  pty.Cancel();
  reader.join();
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(pty.Cancelled());
  std::uint8_t b = 0;
  EXPECT_FALSE(pty.Write(&b, 1, 1s));
}

TEST(PseudoTerminal, SlaveStaysUsableAcrossHostOpens) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Open());
  for (int round = 0; round < 3; ++round) {
    platform::SerialPort host;
    ASSERT_TRUE(host.Open(pty.SlavePath()));
    std::uint8_t b = static_cast<std::uint8_t>(round);
    std::size_t n = 0;
    ASSERT_TRUE(host.Write(&b, 1, n));
    std::uint8_t seen = 0xEE;
    ASSERT_EQ(pty.ReadExact(&seen, 1, 2s), 1u);
    EXPECT_EQ(seen, round);
  }
  // With the host gone the master reports no hang-up, only silence.
  std::uint8_t b;
  EXPECT_EQ(pty.Read(&b, 1, 20ms), 0);
}

TEST(PseudoTerminal, FlushDropsBothDirections) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Open());
  platform::SerialPort host;
  ASSERT_TRUE(host.Open(pty.SlavePath()));
  std::uint8_t bytes[3] = {7, 8, 9};
  std::size_t n = 0;
  ASSERT_TRUE(host.Write(bytes, 3, n));
  ASSERT_TRUE(pty.Write(bytes, 3, 1s));
  for (Stopwatch w; w.ElapsedMs() < 2000 && pty.InputPending() < 3;) {
  }
  EXPECT_EQ(pty.InputPending(), 3u);
  pty.Flush();
  EXPECT_EQ(pty.InputPending(), 0u);
  platform::CommStatus st;
  ASSERT_TRUE(host.ClearError(&st));
  EXPECT_EQ(st.inQueue, 0u);
}

TEST(PseudoTerminal, LinkAsComNumberIsFoundByTheComMap) {
  serial_testing::TempFolder dir;
  serial_testing::ComDirOverride over(dir.path());
  PseudoTerminal first;
  PseudoTerminal second;
  ASSERT_TRUE(first.Open());
  ASSERT_TRUE(second.Open());
  ASSERT_TRUE(first.LinkAs(dir.path(), 4));
  EXPECT_EQ(platform::ComNumberOfDevice(first.SlavePath()), 4);

  platform::SerialPort host;
  ASSERT_TRUE(host.Open("\\\\.\\COM4"));
  const std::uint8_t b = 0x33;
  std::size_t n = 0;
  ASSERT_TRUE(host.Write(&b, 1, n));
  std::uint8_t seen = 0;
  EXPECT_EQ(first.ReadExact(&seen, 1, 2s), 1u);
  EXPECT_EQ(seen, 0x33);

  // A second terminal takes the name over; the first one's unlink leaves it alone.
  ASSERT_TRUE(second.LinkAs(dir.path(), 4));
  first.Unlink();
  EXPECT_EQ(fs::read_symlink(dir.path() + "/COM4"), fs::path(second.SlavePath()));
  second.Close();
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() + "/COM4")));
}

}  // namespace
