// Bisync links against the serial peer speaking the radio's side.

#include "gantrel_fixture.h"

namespace gantrel_test {
namespace {

using linkpeers::BisyncKnobs;
using Strings = std::vector<std::string>;

class BisyncTest : public GantrelTest {
 protected:
  // A bisync link in a registered slot on COM3 with the peer's knobs.
  std::uint16_t Open(const BisyncKnobs& knobs, bool sync) {
    id_ = Register(window_);
    peer_ = &Peer(3);
    peer_->SetBisyncKnobs(knobs);
    EXPECT_EQ(Connect(id_, LINK_BISYNC, 3, sync), 0);
    return id_;
  }

  int Write(const Bytes& message) { return nwWriteBisync(id_, message.data(), static_cast<std::uint32_t>(message.size())); }

  // The peer's transcript without its enquiry lines.
  Strings FrameEvents() {
    Strings events;
    for (auto& e : peer_->Transcript()) {
      if (e != "enq") events.push_back(e);
    }
    return events;
  }

  int Enquiries() {
    const Bytes sent = peer_->Received();
    int n = 0;
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
      if (sent[i] == 0x10 && sent[i + 1] == 0x05) ++n;
    }
    return n;
  }

  AppWindow window_;
  std::uint16_t id_ = 0;
  linkpeers::SerialPeer* peer_ = nullptr;
};

TEST_F(BisyncTest, ThreeFramesAreAcknowledgedAck1Ack0Ack1) {
  Open({}, false);
  const Bytes messages[] = {{0x01, 0x02}, {0x10, 0x10, 0x03}, Pattern(100)};
  for (const auto& m : messages) EXPECT_EQ(Write(m), 0);
  EXPECT_EQ(peer_->Accepted(), (std::vector<Bytes>(std::begin(messages), std::end(messages))));
  EXPECT_EQ(FrameEvents(), (Strings{"frame", "ack 1", "frame", "ack 0", "frame", "ack 1"}));
}

TEST_F(BisyncTest, ANakMakesTheSenderResendTheFrame) {
  BisyncKnobs knobs;
  knobs.nakTimes = 2;
  Open(knobs, false);
  EXPECT_EQ(Write({0x41, 0x42}), 0);
  EXPECT_EQ(FrameEvents(), (Strings{"frame", "nak", "frame", "nak", "frame", "ack 1"}));
  EXPECT_EQ(peer_->Accepted().size(), 1u);
}

TEST_F(BisyncTest, APeerThatRefusesEveryCopyDoesNotHoldTheSenderForever) {
  BisyncKnobs knobs;
  knobs.nakTimes = 1000;
  Open(knobs, false);
  EXPECT_EQ(Write({0x41}), GANTREL_RC_NO_ACK);
}

TEST_F(BisyncTest, TheAcknowledgementOfThePreviousFrameMakesTheSenderResend) {
  BisyncKnobs knobs;
  Open(knobs, false);
  ASSERT_EQ(Write({0x01}), 0);
  knobs.wrongAckOnce = true;
  peer_->SetBisyncKnobs(knobs);
  EXPECT_EQ(Write({0x02}), 0);
  EXPECT_EQ(peer_->Accepted(), (std::vector<Bytes>{{0x01}, {0x02}}));
  EXPECT_EQ(FrameEvents(), (Strings{"frame", "ack 1", "frame", "ack 1", "frame", "ack 0"}));
}

TEST_F(BisyncTest, SilenceEndsAfterFiveEnquiriesWithItsCode) {
  Open({}, false);
  peer_->SetMode(linkpeers::SerialPeer::Mode::Silent);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Write({0x01, 0x02}), GANTREL_RC_NO_ACK);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 5 * 400ms - 50ms);
  ASSERT_TRUE(peer_->WaitUntil([&] { return Enquiries() == 5; }, 5s));
}

TEST_F(BisyncTest, ALostAcknowledgementIsRecoveredByAnEnquiry) {
  BisyncKnobs knobs;
  knobs.dropAcks = 1;
  Open(knobs, false);
  EXPECT_EQ(Write({0x07}), 0);
  EXPECT_EQ(peer_->Accepted().size(), 1u);
  EXPECT_EQ(Enquiries(), 1);
}

TEST_F(BisyncTest, AStrayAckNeitherHangsNorFakesSuccess) {
  Open({}, false);
  peer_->Send({0x10, '1', 0x10, '0'});  // no frame is waiting for these
  ASSERT_TRUE(window_.NothingPosted(WM_LINK_DATA));
  peer_->SetMode(linkpeers::SerialPeer::Mode::Silent);
  EXPECT_EQ(Write({0x01}), GANTREL_RC_NO_ACK);
  BisyncKnobs knobs;
  peer_->SetBisyncKnobs(knobs);
  EXPECT_EQ(Write({0x02}), 0);
}

TEST_F(BisyncTest, FramesFromThePeerAreAcknowledgedAndPosted) {
  Open({}, false);
  peer_->SendFrame({0x20, 0x10, 0x30});
  auto d = window_.NextData();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->bytes, (Bytes{0x20, 0x10, 0x30}));
  EXPECT_EQ(d->id, id_);
  EXPECT_TRUE(d->ownsCopy);
  peer_->SendFrame({0x21});
  ASSERT_TRUE(window_.NextData());
  ASSERT_TRUE(peer_->WaitUntil([&] { return FrameEvents().size() >= 2; }, 5s));
  EXPECT_EQ(FrameEvents(), (Strings{"host ack 1", "host ack 0"}));
}

TEST_F(BisyncTest, ABadCrcFromThePeerIsNakedAndNotDelivered) {
  Open({}, false);
  peer_->SendFrame({0x20, 0x01}, true);
  ASSERT_TRUE(peer_->WaitUntil([&] { return !FrameEvents().empty(); }, 5s));
  EXPECT_EQ(FrameEvents(), (Strings{"host nak"}));
  EXPECT_TRUE(window_.NothingPosted(WM_LINK_DATA));
}

TEST_F(BisyncTest, EnquiriesFromThePeerAfterAGoodFrame) {
  Open({}, false);
  peer_->SendFrame({0x20});
  ASSERT_TRUE(window_.NextData());
  peer_->Send({0x10, 0x05});  // right after a good frame: nothing
  peer_->Send({0x10, 0x05});  // the second: the last ACK again
  ASSERT_TRUE(peer_->WaitUntil([&] { return FrameEvents().size() >= 2; }, 5s));
  EXPECT_EQ(FrameEvents(), (Strings{"host ack 1", "host ack 1"}));
}

TEST_F(BisyncTest, SyncRequestTakesTheMatchingReply) {
  BisyncKnobs knobs;
  knobs.autoReply = true;
  knobs.replyPayload = Pattern(40);
  Open(knobs, true);
  const Bytes request{0x33, 0x04, 0x99};
  std::uint8_t reply[256];
  std::uint32_t length = sizeof reply;
  ASSERT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id_, 2, 3), request.data(), 3, reply, &length), 0);
  Bytes expected{0x33, 0x84};
  expected.insert(expected.end(), knobs.replyPayload.begin(), knobs.replyPayload.end());
  EXPECT_EQ(Bytes(reply, reply + length), expected);
}

TEST_F(BisyncTest, SyncReplyIsBoundedByTheCallersLength) {
  BisyncKnobs knobs;
  knobs.autoReply = true;
  knobs.replyPayload = Pattern(100);
  Open(knobs, true);
  const Bytes request{0x33, 0x04};
  std::uint8_t reply[16 + 8];
  std::fill(std::begin(reply), std::end(reply), 0xEE);
  std::uint32_t length = 16;
  ASSERT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id_, 2, 3), request.data(), 2, reply, &length), 0);
  EXPECT_EQ(length, 16u);
  EXPECT_EQ(Bytes(reply + 16, reply + 24), Bytes(8, 0xEE));
}

TEST_F(BisyncTest, AReplyWithoutBit7IsNotTakenAndTheRequestTimesOut) {
  BisyncKnobs knobs;
  knobs.autoReply = true;
  knobs.replyWithoutBit7 = true;
  Open(knobs, true);
  const Bytes request{0x33, 0x04};
  std::uint8_t reply[64];
  std::uint32_t length = sizeof reply;
  EXPECT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id_, 2, 3), request.data(), 2, reply, &length),
            GANTREL_RC_TIMEOUT);
}

TEST_F(BisyncTest, ALateReplyInsideTheWaitIsTaken) {
  BisyncKnobs knobs;
  knobs.autoReply = true;
  knobs.answerLateMs = 300;
  Open(knobs, true);
  const Bytes request{0x01, 0x02};
  std::uint8_t reply[64];
  std::uint32_t length = sizeof reply;
  ASSERT_EQ(QuorSendRequestEx(GANTREL_CONNECT_WORD(id_, 2, 3), request.data(), 2, reply, &length), 0);
  EXPECT_EQ(Bytes(reply, reply + length), (Bytes{0x01, 0x82}));
}

TEST_F(BisyncTest, OversizeMessagesAreRefusedBeforeAnythingIsSent) {
  Open({}, false);
  const Bytes big(300, 0x41);
  EXPECT_EQ(Write(big), GANTREL_RC_FRAME_TOO_LONG);
  EXPECT_TRUE(peer_->Received().empty());
}

TEST_F(GantrelTest, ChangeProtocolTurnsAnAsyncLinkIntoBisync) {
  AppWindow window;
  const auto id = Register(window);
  auto& peer = Peer(3);
  ASSERT_EQ(Connect(id, LINK_ASYNC, 3, false), 0);
  EXPECT_EQ(QuorChangeProtocol(id, LINK_ASYNC, 0), GANTREL_RC_BAD_TYPE);
  peer.SetBisyncKnobs({});
  ASSERT_EQ(QuorChangeProtocol(id, LINK_BISYNC, 0), 0);
  EXPECT_EQ(QuorChangeProtocol(id, LINK_BISYNC, 0), GANTREL_RC_BAD_TYPE);  // no longer asynchronous
  const std::uint8_t m[] = {0x05, 0x06};
  EXPECT_EQ(nwWriteBisync(id, m, 2), 0);
  EXPECT_EQ(peer.Accepted(), (std::vector<Bytes>{{0x05, 0x06}}));
  EXPECT_EQ(QuorDisconnect(id), 0);
}

}  // namespace
}  // namespace gantrel_test
