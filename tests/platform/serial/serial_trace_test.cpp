// The serial ports' trace: an installed trace sees every read that took
// bytes and every write before it begins, in order; removed, it sees
// nothing more.

#include "platform/serial_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/pseudo_terminal.h"
#include "platform/serial_port.h"

namespace {

using namespace std::chrono_literals;

class RecordingTrace : public platform::SerialTrace {
 public:
  void BytesRead(std::size_t bytes) override { seen.push_back("read " + std::to_string(bytes)); }
  void WriteStarting(std::size_t bytes) override { seen.push_back("write " + std::to_string(bytes)); }
  std::vector<std::string> seen;
};

TEST(SerialTrace, SeesReadsThatTookBytesAndWritesBeforeTheyBegin) {
  platform::PseudoTerminal pty;
  ASSERT_TRUE(pty.Open());
  platform::SerialPort port;
  ASSERT_TRUE(port.Open(pty.SlavePath()));
  ASSERT_TRUE(port.SetTimeouts({platform::kMaxDword, 0, 0, 0, 0}));  // reads return at once
  RecordingTrace trace;
  platform::InstallSerialTrace(&trace);

  std::uint8_t buffer[16] = {};
  std::size_t n = 0;
  ASSERT_TRUE(port.Read(buffer, sizeof buffer, n));  // nothing there: no read seen
  const std::uint8_t request[3] = {1, 2, 3};
  ASSERT_TRUE(port.Write(request, sizeof request, n));
  const std::uint8_t reply[5] = {4, 5, 6, 7, 8};
  ASSERT_TRUE(pty.Write(reply, sizeof reply, 1s));
  bool ready = false;
  ASSERT_TRUE(port.WaitForInput(2000, ready));
  ASSERT_TRUE(ready);
  ASSERT_TRUE(port.Read(buffer, sizeof buffer, n));
  EXPECT_EQ(trace.seen, (std::vector<std::string>{"write 3", "read 5"}));

  platform::InstallSerialTrace(nullptr);
  ASSERT_TRUE(port.Write(request, sizeof request, n));
  EXPECT_EQ(trace.seen.size(), 2u);
}

}  // namespace
