// The bisync CRC, frame encoder and receive state machine, fed bytes.

#include <gtest/gtest.h>

#include <cstring>

#include "bisync_codec.h"
#include "linkpeers/bisync_peer.h"

namespace {

using gantrel::BisyncAckType;
using gantrel::BisyncParser;
using Bytes = std::vector<std::uint8_t>;

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

TEST(BisyncCrc, CheckValueOfTheStandardString) {
  const Bytes digits = Text("123456789");
  EXPECT_EQ(gantrel::BisyncCrc16(digits.data(), digits.size()), 0xCE3C);
}

TEST(BisyncCrc, TableBuiltFromBasisWordsMatchesBitwiseCrcForEverySingleByte) {
  for (int b = 0; b < 256; ++b) {
    const Bytes one{static_cast<std::uint8_t>(b)};
    EXPECT_EQ(gantrel::BisyncCrc16(one.data(), 1), linkpeers::Crc16Gsm(one)) << b;
  }
}

struct EncodeCase {
  Bytes message;
  Bytes body;  // the frame without its two check bytes
};

TEST(BisyncEncoder, FramesDoubleEveryDleAndCarryTheInvertedCrcOfMessageAndEtx) {
  const EncodeCase cases[] = {
      {{0x10, 0x41}, {0x10, 0x02, 0x10, 0x10, 0x41, 0x10, 0x03}},
      {{}, {0x10, 0x02, 0x10, 0x03}},
      {{0x10, 0x10}, {0x10, 0x02, 0x10, 0x10, 0x10, 0x10, 0x10, 0x03}},
      {{0x02, 0x03, 0x05}, {0x10, 0x02, 0x02, 0x03, 0x05, 0x10, 0x03}},
  };
  for (const auto& c : cases) {
    auto frame = gantrel::EncodeBisyncFrame(c.message.data(), c.message.size());
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->size(), c.body.size() + 2);
    EXPECT_EQ(Bytes(frame->begin(), frame->end() - 2), c.body);
    Bytes checked = c.message;
    checked.push_back(0x03);
    const std::uint16_t crc = linkpeers::Crc16Gsm(checked);
    EXPECT_EQ((*frame)[frame->size() - 2], crc >> 8);
    EXPECT_EQ((*frame)[frame->size() - 1], crc & 0xFF);
  }
}

TEST(BisyncEncoder, RefusesAFrameLongerThan256Bytes) {
  const Bytes fits(250, 0x41);
  EXPECT_TRUE(gantrel::EncodeBisyncFrame(fits.data(), fits.size()));
  const Bytes doubled(130, 0x10);  // 260 bytes once doubled
  EXPECT_FALSE(gantrel::EncodeBisyncFrame(doubled.data(), doubled.size()));
}

// Feeds bytes; collects what the parser asks the link to send and deliver.
struct Fed {
  Bytes sent;
  std::vector<Bytes> delivered;
  std::vector<BisyncAckType> acks;
  int purges = 0;
};

Fed Feed(BisyncParser& parser, const Bytes& bytes) {
  Fed fed;
  for (auto b : bytes) {
    BisyncParser::Actions a;
    parser.Feed(b, a);
    fed.sent.insert(fed.sent.end(), a.send.begin(), a.send.end());
    if (a.delivered) fed.delivered.push_back(*a.delivered);
    if (a.acknowledgement) fed.acks.push_back(*a.acknowledgement);
    if (a.purgeReceive) ++fed.purges;
  }
  return fed;
}

TEST(BisyncParser, RoundTripOfEncodedFramesAlternatesAck1Ack0Ack1) {
  BisyncParser parser;
  parser.Reset();
  const Bytes messages[] = {{0x01, 0x10, 0x02}, Bytes(120, 0x10), {0x55}};
  const Bytes expectedAcks[] = {{0x10, '1'}, {0x10, '0'}, {0x10, '1'}};
  for (int i = 0; i < 3; ++i) {
    auto frame = gantrel::EncodeBisyncFrame(messages[i].data(), messages[i].size());
    ASSERT_TRUE(frame);
    const Fed fed = Feed(parser, *frame);
    ASSERT_EQ(fed.delivered.size(), 1u);
    EXPECT_EQ(fed.delivered[0], messages[i]);
    EXPECT_EQ(fed.sent, expectedAcks[i]);
  }
}

TEST(BisyncParser, AcceptsFramesBuiltByThePeer) {
  BisyncParser parser;
  parser.Reset();
  const Bytes message{0x20, 0x81, 0x10, 0x00};
  const Fed fed = Feed(parser, linkpeers::BuildFrame(message));
  ASSERT_EQ(fed.delivered.size(), 1u);
  EXPECT_EQ(fed.delivered[0], message);
}

struct ParserCase {
  const char* name;
  Bytes input;
  Bytes sent;
  std::size_t delivered;
  std::vector<BisyncAckType> acks;
  int purges;
};

TEST(BisyncParser, ByteSequences) {
  const Bytes good = linkpeers::BuildFrame({0x01, 0x02});
  const Bytes bad = linkpeers::BuildFrame({0x01, 0x02}, true);
  auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const ParserCase cases[] = {
      {"good frame", good, {0x10, '1'}, 1, {}, 0},
      {"wrong check byte", bad, {0x10, 0x15}, 0, {}, 0},
      {"enquiry right after a good frame does nothing",
       cat({good, {0x10, 0x05}}), {0x10, '1'}, 1, {}, 0},
      {"second enquiry resends the last ack", cat({good, {0x10, 0x05, 0x10, 0x05}}), {0x10, '1', 0x10, '1'}, 1, {}, 0},
      {"enquiry on a fresh link answers the starting ack", {0x10, 0x05}, {0x10, '1'}, 0, {}, 0},
      {"DLE ETX outside a frame is refused", {0x10, 0x03}, {0x10, 0x15}, 0, {}, 0},
      {"DLE DLE outside a frame is refused", {0x10, 0x10}, {0x10, 0x15}, 0, {}, 0},
      {"acknowledgements", {0x10, '0', 0x10, '1', 0x10, 0x15}, {}, 0,
       {BisyncAckType::Ack0, BisyncAckType::Ack1, BisyncAckType::Nak}, 0},
      {"enquiry inside a frame abandons it", {0x10, 0x02, 0x41, 0x10, 0x05}, {0x10, 0x15}, 0, {}, 1},
      {"restart inside a frame keeps only the second", cat({{0x10, 0x02, 0x41, 0x42}, good}), {0x10, '1'}, 1, {}, 0},
      {"noise before a frame is ignored", cat({{0x00, 0xFF, 0x41}, good}), {0x10, '1'}, 1, {}, 0},
  };
  for (const auto& c : cases) {
    BisyncParser parser;
    parser.Reset();
    const Fed fed = Feed(parser, c.input);
    EXPECT_EQ(fed.sent, c.sent) << c.name;
    EXPECT_EQ(fed.delivered.size(), c.delivered) << c.name;
    EXPECT_EQ(fed.acks, c.acks) << c.name;
    EXPECT_EQ(fed.purges, c.purges) << c.name;
  }
}

TEST(BisyncParser, AMessageLongerThanItsBufferIsRefusedNotDelivered) {
  BisyncParser parser;
  parser.Reset();
  const Fed fed = Feed(parser, linkpeers::BuildFrame(Bytes(300, 0x41)));
  EXPECT_TRUE(fed.delivered.empty());
  EXPECT_EQ(fed.sent, (Bytes{0x10, 0x15}));
  // The link still works afterwards.
  const Fed next = Feed(parser, linkpeers::BuildFrame({0x07}));
  EXPECT_EQ(next.delivered.size(), 1u);
}

}  // namespace
