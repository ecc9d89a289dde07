// Asynchronous and raw serial links against the serial peer on a
// pseudo-terminal.

#include <algorithm>
#include <thread>

#include "gantrel_fixture.h"

namespace gantrel_test {
namespace {

TEST_F(GantrelTest, AsyncDataArrivesInChunksOfAtMost1024WithTheLinkLayout) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  const Bytes burst = Pattern(3000);
  peer.Send(burst);
  std::vector<std::size_t> chunks;
  std::vector<LinkData> posts;
  Bytes all;
  while (all.size() < burst.size()) {
    auto d = window.NextData();
    ASSERT_TRUE(d) << "after " << all.size() << " bytes";
    EXPECT_EQ(d->id, id);
    EXPECT_LE(d->length, 1024u);
    EXPECT_GT(d->length, 0u);
    EXPECT_TRUE(d->ownsCopy) << "lParam must point into the message's own copy";
    all.insert(all.end(), d->bytes.begin(), d->bytes.end());
  }
  EXPECT_EQ(all, burst);
}

TEST_F(GantrelTest, DataGoesToTheWindowOfTheSlotThatOwnsTheLink) {
  AppWindow first, second;
  const auto a = Register(first);
  const auto b = Register(second);
  auto& peerA = Peer(3);
  auto& peerB = Peer(4);
  ASSERT_EQ(Connect(a, LINK_ASYNC, 3, false), 0);
  ASSERT_EQ(Connect(b, LINK_ASYNC, 4, false), 0);  // the last connect
  peerA.Send({0xA1, 0xA2});
  peerB.Send({0xB1});
  auto da = first.NextData();
  auto db = second.NextData();
  ASSERT_TRUE(da);
  ASSERT_TRUE(db);
  EXPECT_EQ(da->bytes, (Bytes{0xA1, 0xA2}));
  EXPECT_EQ(da->id, a);
  EXPECT_EQ(db->bytes, (Bytes{0xB1}));
  EXPECT_TRUE(first.NothingPosted(WM_LINK_DATA));
}

TEST_F(GantrelTest, DeviceLossEndsTheReaderWithItsLineStatus) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  peer.Hangup();
  auto d = window.NextData();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->bytes, (Bytes{0xF0, 0xF0, 0x02}));
  EXPECT_EQ(d->length, 3u);
  // The reader has ended: the port closes without a thread on it.
  EXPECT_EQ(QuorDisconnect(id), 0);
}

TEST_F(GantrelTest, DisconnectWhileDataStreamsStopsTheReaderFirst) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  peer.SetMode(linkpeers::SerialPeer::Mode::Echo);
  for (int round = 0; round < 5; ++round) {
    ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
    peer.Send(Pattern(2048, static_cast<std::uint8_t>(round)));
    EXPECT_EQ(QuorDisconnect(id), 0);
  }
  window.queue.queue().Clear();
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  peer.Send({0x42});
  auto d = window.NextData();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->bytes, (Bytes{0x42}));
}

TEST_F(GantrelTest, SyncRequestOnAHalfDuplexLineGivesEchoThenReply) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  const Bytes request{'A', 'T', 'I', '\r'};
  const Bytes reply{'O', 'K', '\r'};
  peer.SetAnswer(reply, 50, true);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, true), 0);
  std::uint8_t buffer[64];
  std::uint32_t length = sizeof buffer;
  ASSERT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id, 1, 3), request.data(), 4, buffer, &length), 0);
  Bytes expected = request;
  expected.insert(expected.end(), reply.begin(), reply.end());
  EXPECT_EQ(Bytes(buffer, buffer + length), expected);
  EXPECT_EQ(peer.Received(), request);
}

TEST_F(GantrelTest, SyncRequestWithoutAnswerTimesOut) {
  AppWindow window;
  const auto id = Register(window);
  Peer(3);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, true), 0);
  const std::uint8_t request[] = {1, 2};
  std::uint8_t buffer[8];
  std::uint32_t length = sizeof buffer;
  EXPECT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id, 1, 3), request, 2, buffer, &length), GANTREL_RC_TIMEOUT);
}

TEST_F(GantrelTest, NonSyncRequestIsWrittenAndTheReplyPosted) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  peer.SetAnswer({0x55, 0x66}, 0);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  const std::uint8_t request[] = {9, 8, 7};
  EXPECT_EQ(QuorSendRequest(GANTREL_CONNECT_WORD(id, 1, 3), request, 3, nullptr, 0), 0);
  EXPECT_EQ(window.Collect(2), (Bytes{0x55, 0x66}));
}

TEST_F(GantrelTest, RawBusReadWithPartialData) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(Connect(id, LINK_TRELLBUS, 3, true), 0);
  peer.Send({1, 2, 3, 4, 5});
  std::uint8_t buffer[8] = {};
  // Five of eight bytes within three reads: the whole read fails.
  EXPECT_EQ(ReadDataFromSerialPort(id, buffer, 8), 0);
  EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{1, 2, 3, 4, 5}));
  peer.Send({9, 9, 9, 9});
  std::uint8_t four[4];
  EXPECT_EQ(ReadDataFromSerialPort(id, four, 4), 4);
  EXPECT_EQ(ReadDataFromSerialPort(id, nullptr, 4), GANTREL_RC_NULL_BUFFER);
}

TEST_F(GantrelTest, TrellbusWriteAndPartialReadPostsWhatCame) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  peer.SetAnswer({0x21, 0x22, 0x23}, 30);
  ASSERT_EQ(Connect(id, LINK_TRELLBUS, 3, true), 0);
  const std::uint8_t frame[] = {0x30, 0x31};
  EXPECT_EQ(nwWriteTrellbus(id, frame, 2), 0);
  ASSERT_TRUE(peer.WaitUntil([&] { return peer.Received().size() == 2; }, 5s));
  std::uint8_t buffer[10] = {};
  EXPECT_EQ(nwReadTrellbus(id, buffer, 10), 3);
  auto d = window.NextData();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->bytes, (Bytes{0x21, 0x22, 0x23}));
  EXPECT_EQ(nwReadTrellbus(id, buffer, 10), GANTREL_RC_TIMEOUT);
  EXPECT_EQ(nwReadTrellbus(id, nullptr, 10), GANTREL_RC_NULL_BUFFER);
}

TEST_F(GantrelTest, WriteDataToSerialPortSendsEveryByte) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(Connect(id, LINK_LONG_READ, 3, true), 0);
  const Bytes data = Pattern(300);
  EXPECT_EQ(WriteDataToSerialPort(id, data.data(), 300), 300);
  ASSERT_TRUE(peer.WaitUntil([&] { return peer.Received().size() == 300; }, 5s));
  EXPECT_EQ(peer.Received(), data);
  EXPECT_EQ(nwIsTXDone(id), 1);
}

TEST_F(GantrelTest, LinkSettingsReachThePort) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, true, 19200), 0);
  EXPECT_EQ(peer.HostRate(), 19200u);
  ConnectParams state{};
  EXPECT_EQ(nwGetCommState(id, &state), 0);
  EXPECT_EQ(state.rate, 19200u);
  EXPECT_EQ(nwSetUpBaudRate(id, "baud=57600 parity=N data=8 stop=1"), 1);
  EXPECT_EQ(peer.HostRate(), 57600u);
  EXPECT_EQ(nwSetUpBaudRate(id, "9600,n,8,1"), 1);
  EXPECT_EQ(peer.HostRate(), 9600u);
  EXPECT_NE(nwSetUpBaudRate(id, "fast"), 1);
}

TEST_F(GantrelTest, QueueCountsAndFlush) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(Connect(id, LINK_TLXP, 3, true), 0);
  EXPECT_EQ(nwIsRXBegun(id), 0);
  peer.Send({1, 2, 3});
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (nwAvailBytesInRXBuffer(id) < 3 && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  EXPECT_EQ(nwAvailBytesInRXBuffer(id), 3);
  EXPECT_EQ(nwIsRXBegun(id), 1);
  nwFlushReceiveBuffer(id);
  EXPECT_EQ(nwAvailBytesInRXBuffer(id), 0);
}

TEST_F(GantrelTest, ModemLineExportsOnALineWithoutModemLines) {
  AppWindow window;
  const auto id = Register(window);
  Peer(3);
  ASSERT_EQ(Connect(id, LINK_CTS_FLOW, 3, true), 0);
  // A pseudo-terminal has no modem lines: all read as off.
  EXPECT_EQ(nwReadDSR(id), 0);
  EXPECT_EQ(nwCheckBusy(id), 0);
  EXPECT_EQ(QuorDSRLineActive(id), 0);
  EXPECT_EQ(nwGetBusy(id), 0);
  EXPECT_EQ(nwReleaseBusy(id), 0);
  EXPECT_EQ(ResetPorts(id), 0);
  EXPECT_EQ(QuorEnableHWFlowControl(id), 0);
  EXPECT_EQ(QuorDisableHWFlowControl(id), 0);
  EXPECT_EQ(QuorCheckSUStatus(id), 0);
  auto status = window.queue.queue().TakeMatching(WM_LINK_DATA, WM_LINK_DATA, 5s);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->wParam, 0u);
  EXPECT_EQ(QuorDSRLineActive(9), GANTREL_RC_NOT_ALLOCATED);
}

TEST_F(GantrelTest, SerialUtilitiesSeeTheComFolder) {
  auto& peer = Peer(12);
  Peer(3);
  std::vector<int> list(255);
  int count = 0;
  ASSERT_EQ(QuorEnumerateSerialPorts(0, &count, list.data()), 0);
  std::vector<int> found(list.begin(), list.begin() + count);
  EXPECT_NE(std::find(found.begin(), found.end(), 3), found.end());
  EXPECT_NE(std::find(found.begin(), found.end(), 12), found.end());
  int kind = -1;
  EXPECT_EQ(QuorGetSerialPortProperties(0, 12, &kind), 0);
  EXPECT_EQ(kind, 0);
  EXPECT_EQ(QuorGetSerialPortProperties(0, 99, &kind), GANTREL_RC_BAD_PORT);
  peer.Send({1, 2, 3, 4, 5});
  int length = 0;
  const auto end = std::chrono::steady_clock::now() + 5s;
  do {
    length = 64;
    ASSERT_EQ(QuorFlushUSBPortReceiveBuffer(0, 12, &length), 0);
  } while (length == 0 && std::chrono::steady_clock::now() < end);
  EXPECT_EQ(length, 5);
}

TEST_F(GantrelTest, AnOpenLinkHoldsItsPortAgainstOtherOpens) {
  AppWindow window;
  const auto id = Register(window);
  Peer(3);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  int kind = -1;
  EXPECT_EQ(QuorGetSerialPortProperties(0, 3, &kind), GANTREL_RC_PORT_IN_USE);
}

// 0 and -1 mean "closed" to callers, so no open link may have either as
// its handle, slot 0's included; a stale handle never names a later port.
TEST_F(GantrelTest, PortHandlesOfOpenLinksAreNeverTheClosedValues) {
  AppWindow first, second;
  const auto id0 = Register(first);
  const auto id1 = Register(second);
  ASSERT_EQ(id0, 0);
  Peer(3);
  Peer(4);
  EXPECT_EQ(nwGetCOMPortHandle(id0), -1);
  ASSERT_EQ(Connect(id0, LINK_ASYNC, 3, true), 0);
  ASSERT_EQ(Connect(id1, LINK_TLXP, 4, true), 0);
  const int handle0 = nwGetCOMPortHandle(id0);
  const int handle1 = nwGetCOMPortHandle(id1);
  for (int handle : {handle0, handle1}) {
    EXPECT_NE(handle, 0);
    EXPECT_NE(handle, -1);
  }
  EXPECT_NE(handle0, handle1);
  EXPECT_EQ(nwGetCOMPortHandle(id0), handle0);

  ASSERT_EQ(QuorDisconnect(id0), 0);
  EXPECT_EQ(nwGetCOMPortHandle(id0), -1);
  ASSERT_EQ(Connect(id0, LINK_ASYNC, 3, true), 0);
  const int reopened = nwGetCOMPortHandle(id0);
  EXPECT_NE(reopened, 0);
  EXPECT_NE(reopened, -1);
  EXPECT_NE(reopened, handle0);
  EXPECT_NE(reopened, handle1);
  EXPECT_EQ(nwGetCOMPortHandle(GANTREL_MAX_APPS), -1);
}

}  // namespace
}  // namespace gantrel_test
