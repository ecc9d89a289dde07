// UDP links against the UDP peer on loopback.

#include <cstring>

#include "gantrel_fixture.h"
#include "linkpeers/udp_peer.h"

namespace gantrel_test {
namespace {

class UdpTest : public GantrelTest {
 protected:
  int ConnectUdp(std::uint16_t id, const linkpeers::UdpPeer& peer, bool sync) {
    UdpConnectParams p{};
    std::strcpy(p.address, "127.0.0.1");
    p.port = peer.Port();
    return QuorConnect(GANTREL_CONNECT_WORD(id, LINK_UDP, 0), &p, 0, 0, sync ? 1 : 0);
  }

  int Request(std::uint16_t id, const Bytes& request, Bytes* reply, std::uint32_t room = 2048) {
    std::vector<std::uint8_t> buffer(room);
    std::uint32_t length = room;
    const int r = QuorSendRequestEx(GANTREL_CONNECT_WORD(id, LINK_UDP, 0), request.data(),
                                    static_cast<std::uint32_t>(request.size()), buffer.data(), &length);
    if (reply) reply->assign(buffer.begin(), buffer.begin() + (r == 0 ? length : 0));
    return r;
  }

  // The socket notice the window got, handed back to the library.
  int HandBackNotice(AppWindow& window) {
    auto m = window.queue.queue().TakeMatching(WM_LINK_SOCKET, WM_LINK_SOCKET, 5s);
    if (!m) return 1;
    return QuorAsyncSelect(static_cast<std::uint32_t>(m->wParam), static_cast<std::int32_t>(m->lParam));
  }
};

TEST_F(UdpTest, SyncRequestGetsTheAnswer) {
  linkpeers::UdpPeer peer;
  ASSERT_TRUE(peer.Start());
  peer.SetMode(linkpeers::UdpPeer::Mode::Reply, {0xAA, 0xBB, 0xCC});
  AppWindow window;
  const auto id = Register(window);
  ASSERT_EQ(ConnectUdp(id, peer, true), 0);
  Bytes reply;
  ASSERT_EQ(Request(id, {1, 2, 3, 4}, &reply), 0);
  EXPECT_EQ(reply, (Bytes{0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(peer.Received(), (std::vector<Bytes>{{1, 2, 3, 4}}));
}

TEST_F(UdpTest, SyncRequestWithoutAnswerTimesOut) {
  linkpeers::UdpPeer peer;
  ASSERT_TRUE(peer.Start());
  peer.SetMode(linkpeers::UdpPeer::Mode::Silent);
  AppWindow window;
  const auto id = Register(window);
  ASSERT_EQ(ConnectUdp(id, peer, true), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Request(id, {1}, nullptr), GANTREL_RC_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 950ms);
}

TEST_F(UdpTest, ALongDatagramIsCutTo1024Bytes) {
  linkpeers::UdpPeer peer;
  ASSERT_TRUE(peer.Start());
  const Bytes big = Pattern(1500);
  peer.SetMode(linkpeers::UdpPeer::Mode::Reply, big);
  AppWindow window;
  const auto sync = Register(window);
  const auto posted = Register(window);
  ASSERT_EQ(ConnectUdp(sync, peer, true), 0);
  Bytes reply;
  ASSERT_EQ(Request(sync, {1}, &reply), 0);
  EXPECT_EQ(reply, Bytes(big.begin(), big.begin() + 1024));

  ASSERT_EQ(ConnectUdp(posted, peer, false), 0);
  ASSERT_EQ(Request(posted, {2}, nullptr), 0);
  ASSERT_EQ(HandBackNotice(window), 0);
  auto d = window.NextData();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->id, posted);
  EXPECT_EQ(d->bytes, Bytes(big.begin(), big.begin() + 1024));
  EXPECT_TRUE(d->ownsCopy);
}

TEST_F(UdpTest, AReceiveIsBoundedByTheCallersBuffer) {
  linkpeers::UdpPeer peer;
  ASSERT_TRUE(peer.Start());
  peer.SetMode(linkpeers::UdpPeer::Mode::Reply, Pattern(500));
  AppWindow window;
  const auto id = Register(window);
  ASSERT_EQ(ConnectUdp(id, peer, true), 0);
  std::uint8_t buffer[40];
  std::fill(std::begin(buffer), std::end(buffer), 0xEE);
  std::uint32_t length = 32;
  const std::uint8_t request[] = {1};
  ASSERT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id, LINK_UDP, 0), request, 1, buffer, &length), 0);
  EXPECT_EQ(length, 32u);
  EXPECT_EQ(Bytes(buffer + 32, buffer + 40), Bytes(8, 0xEE));
}

TEST_F(UdpTest, TwoLinksKeepTheirOwnPeersAndData) {
  linkpeers::UdpPeer first, second;
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(second.Start());
  first.SetMode(linkpeers::UdpPeer::Mode::Reply, {0x01});
  second.SetMode(linkpeers::UdpPeer::Mode::Reply, {0x02});
  AppWindow windowA, windowB;
  const auto a = Register(windowA);
  const auto b = Register(windowB);
  ASSERT_EQ(ConnectUdp(a, first, false), 0);
  ASSERT_EQ(ConnectUdp(b, second, false), 0);  // the last connect does not redirect the first link
  ASSERT_EQ(Request(a, {0xA0}, nullptr), 0);
  ASSERT_EQ(Request(b, {0xB0}, nullptr), 0);
  // The notices are handed back in the opposite order: each link reads its own socket.
  ASSERT_EQ(HandBackNotice(windowB), 0);
  ASSERT_EQ(HandBackNotice(windowA), 0);
  auto da = windowA.NextData();
  auto db = windowB.NextData();
  ASSERT_TRUE(da);
  ASSERT_TRUE(db);
  EXPECT_EQ(da->bytes, (Bytes{0x01}));
  EXPECT_EQ(db->bytes, (Bytes{0x02}));
  EXPECT_EQ(first.Received(), (std::vector<Bytes>{{0xA0}}));
  EXPECT_EQ(second.Received(), (std::vector<Bytes>{{0xB0}}));
}

TEST_F(UdpTest, NoticesForSocketsNoLinkOwnsAreRefused) {
  EXPECT_EQ(QuorAsyncSelect(12345, LINK_SOCKET_READ), GANTREL_RC_NO_SLOT);
}

TEST_F(UdpTest, AnErrorNoticeClearsTheSocketAndClosesTheLink) {
  linkpeers::UdpPeer peer;
  ASSERT_TRUE(peer.Start());
  AppWindow window;
  const auto id = Register(window);
  ASSERT_EQ(ConnectUdp(id, peer, false), 0);
  ASSERT_EQ(Request(id, {1}, nullptr), 0);
  auto m = window.queue.queue().TakeMatching(WM_LINK_SOCKET, WM_LINK_SOCKET, 5s);
  ASSERT_TRUE(m);
  const auto socket = static_cast<std::uint32_t>(m->wParam);
  EXPECT_EQ(QuorAsyncSelect(socket, (10054 << 16) | LINK_SOCKET_READ), 0);
  EXPECT_EQ(QuorDisconnect(id), GANTREL_RC_NOT_OPEN);
  EXPECT_EQ(QuorAsyncSelect(socket, LINK_SOCKET_READ), GANTREL_RC_NO_SLOT);
  EXPECT_EQ(QuorDeRegisterApp(id), 0);
}

TEST_F(UdpTest, DisconnectKeepsTheSlotAndAReconnectWorks) {
  linkpeers::UdpPeer peer;
  ASSERT_TRUE(peer.Start());
  AppWindow window;
  const auto id = Register(window);
  ASSERT_EQ(ConnectUdp(id, peer, true), 0);
  EXPECT_EQ(QuorDisconnect(id), 0);
  ASSERT_EQ(ConnectUdp(id, peer, true), 0);
  Bytes reply;
  EXPECT_EQ(Request(id, {7, 7}, &reply), 0);
  EXPECT_EQ(reply, (Bytes{7, 7}));
}

}  // namespace
}  // namespace gantrel_test
