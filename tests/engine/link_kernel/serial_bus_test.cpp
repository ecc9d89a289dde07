// Kernel requests in serial-bus frames over RS232, against the simulated
// radio's kernel on a pseudo-terminal: framing, acknowledgements, retries
// and the reply checks.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/link/comm_channel.h"
#include "engine/link/serial_bus_transport.h"
#include "radio_on_com.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using radiosim::FaultKind;

const Bytes kNameQuery{0x03, 0x04, 0x01};
const Bytes kNameReply{0x03, 0x84, 0x00, 0x03, 'V', 'E', 'X', 'A', '2', '0', 0};

class SerialBus : public ::testing::Test {
 protected:
  SerialBus() : com_({.powerOn = radiosim::PowerOnState::Kernel}) {}
  void SetUp() override { ASSERT_TRUE(com_.started()); }

  // The kernel's reply payload, or the exception value thrown.
  int Transact(const Bytes& request, Bytes& reply, unsigned retries = 10, std::size_t room = 64) {
    reply.assign(room, 0xEE);
    try {
      CCommChannel channel(CHANNEL_SERIAL_BUS, RadioOnCom::PortPath(), 115200, 0, "");
      channel.Transact(request.data(), request.size(), reply.data(), reply.size(), 400, retries);
      return -1;
    } catch (ISP_EXCEPTION e) {
      return e;
    }
  }
  std::size_t RequestsSeen() { return com_.transcript().Count("kernel request 03 04 01"); }

  RadioOnCom com_;
};

TEST_F(SerialBus, RequestGoesOutInAnExtendedFrameAndTheReplyIsUnwrapped) {
  Bytes reply;
  EXPECT_EQ(Transact(kNameQuery, reply), -1);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + kNameReply.size()), kNameReply);
  // The rest of the reply buffer was cleared.
  EXPECT_EQ(reply[kNameReply.size()], 0);
  EXPECT_EQ(com_.transcript().Count("rx 115200: FF 22 00 04 03 04 01 D2"), 1u);
}

TEST_F(SerialBus, TenPayloadBytesMakeAFifteenByteFrame) {
  Bytes request{0x0E, 0x01, 2, 3, 4, 5, 6, 7, 8, 9};
  Bytes reply;
  EXPECT_EQ(Transact(request, reply), -1);
  const auto rx = com_.transcript().LinesStartingWith("rx 115200: FF 22 00 0B 0E 01 02 03 04 05 06 07 08 09 ");
  ASSERT_EQ(rx.size(), 1u);
  EXPECT_EQ(rx[0].size(), std::string("rx 115200: ").size() + 15 * 3 - 1);
  // An unknown function group: the kernel answers with status 1.
  EXPECT_EQ(reply[2], 1);
}

struct RetryCase {
  const char* name;
  FaultKind fault;
  int count;          // times the fault strikes
  int expected;       // -1 success, else the exception value
  std::size_t sends;  // times the request reaches the kernel
};

void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }

class SerialBusFault : public SerialBus, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(SerialBusFault, RetriedOrReported) {
  const auto& c = GetParam();
  com_.radio().AddFault({c.fault, c.count});
  Bytes reply;
  EXPECT_EQ(Transact(kNameQuery, reply, 10), c.expected);
  EXPECT_EQ(com_.transcript().Count("rx 115200: FF 22 00 04 03 04 01"), c.sends);
  if (c.expected == -1) {
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + kNameReply.size()), kNameReply);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SerialBusFault,
    ::testing::Values(RetryCase{"NakRetried", FaultKind::Nak, 3, -1, 4},
                      RetryCase{"NakEveryTime", FaultKind::Nak, -1, ISP_NAK_DETECTED, 11},
                      RetryCase{"WrongAckRetried", FaultKind::WrongAck, 2, -1, 3},
                      RetryCase{"BadHeaderRetried", FaultKind::BadHeader, 1, -1, 2},
                      RetryCase{"ZeroLengthRetried", FaultKind::ZeroLength, 1, -1, 2},
                      RetryCase{"OverlongLengthRetried", FaultKind::OverlongLength, 2, -1, 3},
                      RetryCase{"OverlongEveryTime", FaultKind::OverlongLength, -1, ISP_MESSAGE_NOT_SUPPORTED, 11},
                      RetryCase{"BadChecksumNotRetried", FaultKind::BadChecksum, 1, ISP_BAD_CHECKSUM, 1},
                      RetryCase{"NoAckIsATimeout", FaultKind::NoAck, 1, ISP_SERIAL_BUS_TIMEOUT, 1},
                      RetryCase{"NoReplyIsATimeout", FaultKind::NoReply, 1, ISP_SERIAL_BUS_TIMEOUT, 1},
                      RetryCase{"ShortReplyIsAShortRead", FaultKind::ShortReply, 1, ISP_READ_COUNT_MISMATCH, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialBus, ReplyLongerThanTheBufferIsMalformedNotAnOverrun) {
  Bytes reply;
  // The name reply is 11 payload bytes; the buffer has room for 8.
  EXPECT_EQ(Transact(kNameQuery, reply, 2, 8), ISP_MESSAGE_NOT_SUPPORTED);
  EXPECT_EQ(com_.transcript().Count("rx 115200: FF 22 00 04 03 04 01"), 3u);
}

TEST_F(SerialBus, SendWaitsForTheAckOnly) {
  CCommChannel channel(CHANNEL_SERIAL_BUS, RadioOnCom::PortPath(), 115200, 0, "");
  com_.radio().AddFault({FaultKind::Nak, 1});
  const Bytes speed{0x05, 0x00, 0x00, 0x01};
  channel.Send(speed.data(), speed.size(), 3);
  EXPECT_EQ(com_.radio().NominalRate(), 230400u);
  EXPECT_EQ(com_.transcript().Count("fault nak"), 1u);
}

TEST(SerialBusFrame, LengthAndChecksum) {
  const Bytes shortFrame{0xF2, 0x31, 0x00, 0x00};
  EXPECT_EQ(CSerialBusTransport::FrameLength(shortFrame.data()), 4u);
  EXPECT_EQ(CSerialBusTransport::FrameChecksum(shortFrame.data()), static_cast<std::uint8_t>(0xFF - 0xF2 - 0x31));
  const Bytes bad[] = {{0xF0, 0, 0}, {0x12, 0, 0}};
  for (const auto& frame : bad) {
    try {
      CSerialBusTransport::FrameLength(frame.data());
      ADD_FAILURE() << "no exception";
    } catch (ISP_EXCEPTION e) {
      EXPECT_EQ(e, ISP_MESSAGE_NOT_SUPPORTED);
    }
  }
  auto wrapped = CSerialBusTransport::WrapExtendedFrame(kNameQuery.data(), kNameQuery.size());
  EXPECT_EQ(wrapped, (Bytes{0xFF, 0x22, 0x00, 0x04, 0x03, 0x04, 0x01, 0x00}));
  EXPECT_EQ(CSerialBusTransport::FrameChecksum(wrapped.data()), 0xD2);
}

}  // namespace
