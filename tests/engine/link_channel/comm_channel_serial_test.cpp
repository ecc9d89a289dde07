// The channel on the plain serial kind, against a small radio peer on a
// pseudo-terminal, and the channel's construction rules.

#include "engine/link/comm_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "link_test_support.h"

namespace {

using namespace std::chrono_literals;
using link_testing::LinkedTerminal;
using Bytes = std::vector<std::uint8_t>;

ISP_EXCEPTION ThrownBy(const std::function<void()>& action) {
  try {
    action();
  } catch (ISP_EXCEPTION e) {
    return e;
  }
  ADD_FAILURE() << "nothing thrown";
  return static_cast<ISP_EXCEPTION>(-1);
}

// A radio's boot loader in miniature: it answers every byte it reads with
// that byte plus one, until the line is cancelled.
class EchoPlusOnePeer {
 public:
  explicit EchoPlusOnePeer(platform::PseudoTerminal& line) : line_(line), thread_([this] { Run(); }) {}
  ~EchoPlusOnePeer() {
    line_.Cancel();
    thread_.join();
  }
  EchoPlusOnePeer(const EchoPlusOnePeer&) = delete;
  EchoPlusOnePeer& operator=(const EchoPlusOnePeer&) = delete;

 private:
  void Run() {
    std::uint8_t b = 0;
    while (line_.Read(&b, 1, 10s) == 1) {
      const std::uint8_t answer = static_cast<std::uint8_t>(b + 1);
      if (!line_.Write(&answer, 1, 1s)) return;
    }
  }
  platform::PseudoTerminal& line_;
  std::thread thread_;
};

class SerialChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(line_.ok()); }
  LinkedTerminal line_;
};

TEST_F(SerialChannelTest, SendAndReceiveRawBytesWithThePeer) {
  CCommChannel channel(CHANNEL_SERIAL, line_.PortName(), 115200, 0, "");
  EXPECT_EQ(channel.Kind(), CHANNEL_SERIAL);
  EchoPlusOnePeer peer(line_.radio());
  const Bytes request{0x10, 0x20, 0x30};
  channel.Send(request.data(), request.size(), 0);
  Bytes reply(3, 0xCC);
  channel.Receive(reply.data(), reply.size(), 1000, 0);
  EXPECT_EQ(reply, (Bytes{0x11, 0x21, 0x31}));
}

TEST_F(SerialChannelTest, ReceiveOnASilentLineIsTheReplyTimeout) {
  CCommChannel channel(CHANNEL_SERIAL, line_.PortName(), 115200, 0, "");
  Bytes reply(2, 0xCC);
  EXPECT_EQ(ThrownBy([&] { channel.Receive(reply.data(), reply.size(), 20, 0); }), ISP_SERIAL_BUS_TIMEOUT);
  EXPECT_EQ(reply, (Bytes{0, 0}));  // nothing stale left in the buffer
}

TEST_F(SerialChannelTest, TransactOnTheRawKindSendsNothingAndClearsTheReply) {
  CCommChannel channel(CHANNEL_SERIAL, line_.PortName(), 115200, 0, "");
  const Bytes request{0x03, 0x04, 0x01};
  Bytes reply(8, 0xCC);
  channel.Transact(request.data(), request.size(), reply.data(), reply.size(), 50, 3);
  EXPECT_EQ(reply, Bytes(8, 0));
  std::uint8_t b;
  EXPECT_EQ(line_.radio().Read(&b, 1, 30ms), 0);
}

TEST_F(SerialChannelTest, SetBaudRateReachesTheLine) {
  CCommChannel channel(CHANNEL_SERIAL, line_.PortName(), 115200, 0, "");
  EXPECT_EQ(line_.radio().HostBaudRate(), 115200u);
  channel.SetBaudRate(460800);
  EXPECT_EQ(line_.radio().HostBaudRate(), 460800u);
}

TEST_F(SerialChannelTest, PortFailureLeavesTheConstructor) {
  EXPECT_EQ(ThrownBy([] { CCommChannel c(CHANNEL_SERIAL, "\\\\.\\COM6", 115200, 0, ""); }), ISP_OPEN_PORT_FAILED);
}

TEST_F(SerialChannelTest, UnknownKindIsRefusedWhenTheChannelIsMade) {
  for (int kind : {-1, 5, 99}) {
    EXPECT_EQ(ThrownBy([&] { CCommChannel c(static_cast<ChannelKind>(kind), line_.PortName(), 115200, 0, ""); }),
              ISP_MESSAGE_NOT_SUPPORTED)
        << kind;
  }
  // Nothing was left holding the port.
  CCommChannel channel(CHANNEL_SERIAL, line_.PortName(), 115200, 0, "");
}

TEST(BootLoaderChannelKind, FollowsTheLinkMode) {
  EXPECT_EQ(BootLoaderChannelKind(0), CHANNEL_SERIAL);
  EXPECT_EQ(BootLoaderChannelKind(1), CHANNEL_USB_RAW);
  EXPECT_EQ(BootLoaderChannelKind(2), -1);
  EXPECT_EQ(BootLoaderChannelKind(-1), -1);
}

}  // namespace
