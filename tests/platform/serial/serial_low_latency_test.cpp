// Opening a serial port asks its driver for low latency: TIOCGSERIAL, then
// TIOCSSERIAL with ASYNC_LOW_LATENCY added to the flags the driver gave, on
// the port's own descriptor; a driver that already has it is left alone. A
// driver that refuses (a pseudo-terminal's) leaves a port that works as it
// is, and the serial trace gets one line naming the device and the reason.

#include "platform/serial_low_latency.h"

#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/pseudo_terminal.h"
#include "platform/serial_port.h"
#include "serial_test_support.h"

namespace {

using namespace std::chrono_literals;

struct Request {
  int fd;
  unsigned long request;
  int flags;  // the flags handed to the driver, or that it gave
};

// A driver with serial settings: it gives `flags` and records every request.
class RecordingDriver : public platform::SerialDriverRequests {
 public:
  explicit RecordingDriver(int flags) : flags_(flags) {}
  int Control(int fd, unsigned long request, void* argument) override {
    auto* settings = static_cast<serial_struct*>(argument);
    if (request == TIOCGSERIAL) {
      *settings = serial_struct{};
      settings->flags = flags_;
    } else if (request == TIOCSSERIAL) {
      flags_ = settings->flags;
    }
    seen.push_back({fd, request, settings->flags});
    return 0;
  }
  std::vector<Request> seen;

 private:
  int flags_;
};

class InstalledDriver {
 public:
  explicit InstalledDriver(platform::SerialDriverRequests& driver) { platform::InstallSerialDriverRequests(&driver); }
  ~InstalledDriver() { platform::InstallSerialDriverRequests(nullptr); }
  InstalledDriver(const InstalledDriver&) = delete;
  InstalledDriver& operator=(const InstalledDriver&) = delete;
};

struct LatencyCase {
  const char* name;
  int flagsBefore;
  std::vector<unsigned long> requests;
};

class SerialLowLatency : public ::testing::TestWithParam<LatencyCase> {};

TEST_P(SerialLowLatency, OpenAsksTheDriverOnThePortsDescriptor) {
  platform::PseudoTerminal pty;
  ASSERT_TRUE(pty.Open());
  RecordingDriver driver(GetParam().flagsBefore);
  InstalledDriver installed(driver);
  platform::SerialPort port;
  ASSERT_TRUE(port.Open(pty.SlavePath()));

  ASSERT_EQ(driver.seen.size(), GetParam().requests.size());
  for (std::size_t i = 0; i < driver.seen.size(); ++i) {
    EXPECT_EQ(driver.seen[i].fd, port.NativeDescriptor());
    EXPECT_EQ(driver.seen[i].request, GetParam().requests[i]);
  }
  const Request& last = driver.seen.back();
  EXPECT_NE(last.flags & ASYNC_LOW_LATENCY, 0);
  // The driver's other settings go back as it gave them.
  EXPECT_EQ(last.flags & ~ASYNC_LOW_LATENCY, GetParam().flagsBefore & ~ASYNC_LOW_LATENCY);
}

INSTANTIATE_TEST_SUITE_P(
    Driver, SerialLowLatency,
    ::testing::Values(LatencyCase{"Plain", 0, {TIOCGSERIAL, TIOCSSERIAL}},
                      LatencyCase{"WithOtherFlags", ASYNC_SKIP_TEST | ASYNC_SPD_HI, {TIOCGSERIAL, TIOCSSERIAL}},
                      LatencyCase{"AlreadyLowLatency", ASYNC_LOW_LATENCY, {TIOCGSERIAL}}),
    [](const ::testing::TestParamInfo<LatencyCase>& info) { return std::string(info.param.name); });

std::vector<std::string> Lines(const std::string& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SerialLowLatencyRefused, APseudoTerminalWorksAsItIsWithOneTraceLine) {
  serial_testing::TempFolder folder;
  const std::string trace = folder.path() + "/serial.trace";
  ::setenv(platform::kSerialTraceVariable, trace.c_str(), 1);
  platform::PseudoTerminal pty;
  ASSERT_TRUE(pty.Open());
  platform::SerialPort port;
  const bool opened = port.Open(pty.SlavePath());
  ::unsetenv(platform::kSerialTraceVariable);
  ASSERT_TRUE(opened);

  const auto lines = Lines(trace);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "serial: " + pty.SlavePath() + " keeps the driver's latency: " + std::strerror(ENOTTY));

  // The port carries bytes both ways all the same.
  ASSERT_TRUE(port.SetTimeouts({platform::kMaxDword, 0, 0, 0, 0}));
  const std::uint8_t request[2] = {0x12, 0x34};
  std::size_t n = 0;
  ASSERT_TRUE(port.Write(request, sizeof request, n));
  EXPECT_EQ(n, sizeof request);
  const std::uint8_t reply[3] = {7, 8, 9};
  ASSERT_TRUE(pty.Write(reply, sizeof reply, 1s));
  bool ready = false;
  ASSERT_TRUE(port.WaitForInput(2000, ready));
  std::uint8_t got[8] = {};
  ASSERT_TRUE(port.Read(got, sizeof got, n));
  EXPECT_EQ(n, sizeof reply);
}

}  // namespace
