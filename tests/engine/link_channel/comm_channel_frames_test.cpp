// The channel's serial-bus kinds against a small kernel peer on a
// pseudo-terminal: caller-built frames on the raw kind, and replies that
// never leave bytes of an earlier reply behind.

#include "engine/link/comm_channel.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "link_test_support.h"

namespace {

using namespace std::chrono_literals;
using link_testing::LinkedTerminal;
using Bytes = std::vector<std::uint8_t>;

std::uint8_t Checksum(const Bytes& frameWithoutChecksum) {
  const unsigned sum = std::accumulate(frameWithoutChecksum.begin(), frameWithoutChecksum.end(), 0u);
  return static_cast<std::uint8_t>(0xFF - (sum & 0xFF));
}

Bytes Sealed(Bytes frame) {
  frame.push_back(Checksum(frame));
  return frame;
}

// A kernel in miniature: it reads one frame, acknowledges it and answers
// with the next reply frame of its script.
class FramePeer {
 public:
  explicit FramePeer(platform::PseudoTerminal& line) : line_(line), thread_([this] { Run(); }) {}
  ~FramePeer() {
    line_.Cancel();
    thread_.join();
  }
  FramePeer(const FramePeer&) = delete;
  FramePeer& operator=(const FramePeer&) = delete;

  void Answer(Bytes replyFrame) {
    std::lock_guard lock(mutex_);
    replies_.push_back(std::move(replyFrame));
  }
  std::vector<Bytes> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  bool ReadFrame(Bytes& frame) {
    std::uint8_t header = 0;
    if (line_.Read(&header, 1, 10s) != 1) return false;
    frame.assign(1, header);
    std::size_t rest = (header & 0x0F) + 1;
    if (header == 0xFF) {
      std::uint8_t ext[3];
      if (line_.ReadExact(ext, 3, 1s) != 3) return false;
      frame.insert(frame.end(), ext, ext + 3);
      rest = (std::size_t{ext[1]} << 8) | ext[2];
    }
    Bytes body(rest);
    if (line_.ReadExact(body.data(), rest, 1s) != rest) return false;
    frame.insert(frame.end(), body.begin(), body.end());
    return true;
  }
  void Run() {
    Bytes frame;
    while (ReadFrame(frame)) {
      Bytes reply;
      {
        std::lock_guard lock(mutex_);
        received_.push_back(frame);
        if (!replies_.empty()) {
          reply = replies_.front();
          replies_.pop_front();
        }
      }
      reply.insert(reply.begin(), 0x50);
      if (!line_.Write(reply.data(), reply.size(), 1s)) return;
    }
  }

  platform::PseudoTerminal& line_;
  std::mutex mutex_;
  std::deque<Bytes> replies_;
  std::vector<Bytes> received_;
  std::thread thread_;
};

class FrameChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(line_.ok()); }
  LinkedTerminal line_;
};

TEST_F(FrameChannelTest, RawKindSendsTheCallersFrameAndReturnsTheWholeReplyFrame) {
  CCommChannel channel(CHANNEL_SERIAL_BUS_RAW, line_.PortName(), 115200, 0, "");
  FramePeer peer(line_.radio());
  peer.Answer(Sealed({0xF3, 0x0A, 0x0B, 0x0C}));
  const Bytes request{0xF2, 0x01, 0x02, 0x00};  // the checksum is filled in on sending
  Bytes reply(8, 0xCC);
  channel.Transact(request.data(), request.size(), reply.data(), reply.size(), 500, 3);
  ASSERT_EQ(peer.Received().size(), 1u);
  EXPECT_EQ(peer.Received()[0], Sealed({0xF2, 0x01, 0x02}));
  const Bytes whole = Sealed({0xF3, 0x0A, 0x0B, 0x0C});
  EXPECT_TRUE(std::equal(whole.begin(), whole.end(), reply.begin()));
  EXPECT_EQ(Bytes(reply.begin() + 5, reply.end()), Bytes(3, 0));
}

TEST_F(FrameChannelTest, ShorterReplyLeavesNoByteOfTheLongerOneBefore) {
  CCommChannel channel(CHANNEL_SERIAL_BUS, line_.PortName(), 115200, 0, "");
  FramePeer peer(line_.radio());
  peer.Answer(Sealed({0xFF, 0x23, 0x00, 0x07, 0x03, 0x84, 0x00, 0x41, 0x42, 0x00}));
  peer.Answer(Sealed({0xFF, 0x23, 0x00, 0x04, 0x01, 0x07, 0x00}));
  const Bytes request{0x03, 0x04, 0x01};
  Bytes reply(10);
  channel.Transact(request.data(), request.size(), reply.data(), reply.size(), 500, 3);
  EXPECT_EQ(reply, (Bytes{0x03, 0x84, 0x00, 0x41, 0x42, 0x00, 0, 0, 0, 0}));
  channel.Transact(request.data(), request.size(), reply.data(), reply.size(), 500, 3);
  EXPECT_EQ(reply, (Bytes{0x01, 0x07, 0x00, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(peer.Received().at(1), Sealed({0xFF, 0x22, 0x00, 0x04, 0x03, 0x04, 0x01}));
}

TEST_F(FrameChannelTest, SerialBusKindsChangeTheLineRate) {
  for (ChannelKind kind : {CHANNEL_SERIAL_BUS, CHANNEL_SERIAL_BUS_RAW}) {
    CCommChannel channel(kind, line_.PortName(), 115200, 0, "");
    EXPECT_EQ(line_.radio().HostBaudRate(), 115200u);
    channel.SetBaudRate(230400);
    EXPECT_EQ(line_.radio().HostBaudRate(), 230400u);
  }
}

}  // namespace
