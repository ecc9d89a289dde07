// The host's block coders against the simulated chip's decoders: what the
// host codes must decode to the same bytes on the target, block by block and
// across block boundaries.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bit_stream.h"
#include "crc16.h"
#include "frame_link.h"
#include "gps_sim/block_decoders.h"
#include "huffman_coder.h"
#include "image_buffer.h"
#include "lzss_coder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBlock = 1024;

Bytes RandomBytes(std::size_t n, unsigned seed, unsigned range = 256) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng() % range);
  return out;
}
Bytes Uniform(std::size_t n, std::uint8_t value) { return Bytes(n, value); }
Bytes Periodic(std::size_t n, std::size_t period) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((i % period) * 37 + 5);
  return out;
}
// Text-like data with long and short repeats.
Bytes Repetitive(std::size_t n, unsigned seed) {
  const std::string words[] = {"flash ", "sector ", "0xFFFF ", "block ", "GPS ", "driver\n"};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < n) {
    const std::string& w = words[rng() % 6];
    out.insert(out.end(), w.begin(), w.end());
  }
  out.resize(n);
  return out;
}

// Codes blocks of `data` (with coder spare after it) at consecutive offsets
// and decodes them on the simulated target; returns the decoded image.
Bytes LzssRoundTrip(const Bytes& data, std::uint32_t firstOffset = 0) {
  Bytes padded = data;
  padded.resize(data.size() + ambrel::kCoderSpare, 0xFF);
  ambrel::LzssCoder coder;
  gps_sim::SimLzssDecoder decoder;
  Bytes out;
  for (std::size_t at = 0; at < data.size(); at += kBlock) {
    ambrel::BitWriter bits;
    coder.EncodeBlock(padded.data() + at, kBlock, padded.size() - at, firstOffset + static_cast<std::uint32_t>(at), bits);
    const auto block = decoder.Decode(bits.Bytes().data(), bits.Bytes().size(), bits.PadBits(),
                                      firstOffset + static_cast<std::uint32_t>(at));
    if (!block) return {};
    out.insert(out.end(), block->begin(), block->end());
  }
  return out;
}

struct DataCase {
  const char* name;
  Bytes data;
};

std::vector<DataCase> DataCases() {
  return {
      {"random", RandomBytes(8 * kBlock, 1)},
      {"random few values", RandomBytes(8 * kBlock, 2, 3)},
      {"uniform 0xFF", Uniform(8 * kBlock, 0xFF)},
      {"uniform 0x00", Uniform(6 * kBlock, 0x00)},
      {"period 1000", Periodic(8 * kBlock, 1000)},
      {"period 17", Periodic(8 * kBlock, 17)},
      {"period 1023", Periodic(8 * kBlock, 1023)},
      {"period 3", Periodic(5 * kBlock, 3)},
      {"repetitive text", Repetitive(12 * kBlock, 3)},
  };
}

TEST(Crc16, MatchesPublishedCheckValueAndTargetCrc) {
  const std::string text = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  EXPECT_EQ(ambrel::Crc16Update(bytes, text.size(), 0xFFFF), 0x4B37);
  const Bytes data = RandomBytes(5000, 9);
  // Seeding a piece with the CRC of the piece before equals one pass.
  const std::uint16_t first = ambrel::Crc16Update(data.data(), 3000, 0xFFFF);
  EXPECT_EQ(ambrel::Crc16Update(data.data() + 3000, 2000, first), ambrel::Crc16Update(data.data(), 5000, 0xFFFF));
  EXPECT_EQ(gps_sim::SimCrc16(data.data(), data.size(), 0xFFFF), ambrel::Crc16Update(data.data(), data.size(), 0xFFFF));
}

TEST(FrameChecksum, MakesTheFrameSumZero) {
  const std::uint8_t code = 0x0E;
  const Bytes frame = ambrel::BuildFrame(&code, 1, false);
  ASSERT_EQ(frame, (Bytes{0x00, 0x01, 0x0E, static_cast<std::uint8_t>((256 - (1 + 0x0E)) % 256)}));
  const Bytes payload = RandomBytes(300, 4);
  const Bytes flagged = ambrel::BuildFrame(payload.data(), payload.size(), true);
  EXPECT_EQ(flagged[0], 0x80 | 0x01);
  EXPECT_EQ(flagged[1], 300 & 0xFF);
  unsigned sum = 0;
  for (auto b : flagged) sum += b;
  EXPECT_EQ(sum % 256, 0u);
}

TEST(LzssCoder, RoundTripsThroughTheTargetDecoderAcrossBlocks) {
  for (const DataCase& c : DataCases()) {
    EXPECT_EQ(LzssRoundTrip(c.data), c.data) << c.name;
    EXPECT_EQ(LzssRoundTrip(c.data, 0x70000), c.data) << c.name << " at a high offset";
  }
}

TEST(LzssCoder, CodesUniformBlockAsOneLiteralThenMatches) {
  Bytes data = Uniform(kBlock + ambrel::kCoderSpare, 0x5A);
  ambrel::LzssCoder coder;
  ambrel::BitWriter bits;
  const std::size_t count = coder.EncodeBlock(data.data(), kBlock, data.size(), 0, bits);
  // A literal (9 bits) then 1023 bytes as matches of 17 (15 bits each) and a shorter last one.
  EXPECT_EQ(bits.Bytes()[0] & 1, 1);
  EXPECT_EQ((bits.Bytes()[0] >> 1) | ((bits.Bytes()[1] & 1) << 7), 0x5A);
  EXPECT_EQ(count, 9 + 15 * ((1023 + 16) / 17));
  EXPECT_EQ((bits.Bytes()[1] >> 1) & 1, 0) << "second code is a match";
}

TEST(LzssCoder, ContinuesTheStreamOnlyForTheFollowingBlock) {
  // Random bytes repeating every 600: continued, the second block refers back
  // into the first and codes far smaller than a fresh start would.
  const Bytes pattern = RandomBytes(600, 5);
  Bytes twice;
  while (twice.size() < 2 * kBlock) twice.insert(twice.end(), pattern.begin(), pattern.end());
  twice.resize(2 * kBlock);
  twice.resize(twice.size() + ambrel::kCoderSpare, 0xFF);
  ambrel::LzssCoder coder;
  ambrel::BitWriter first, second;
  coder.EncodeBlock(twice.data(), kBlock, twice.size(), 0, first);
  coder.EncodeBlock(twice.data() + kBlock, kBlock, twice.size() - kBlock, kBlock, second);
  EXPECT_LT(second.BitCount(), first.BitCount() / 4);

  // A block that does not follow restarts: it codes exactly as it would alone.
  ambrel::LzssCoder fresh;
  ambrel::BitWriter alone, restarted;
  fresh.EncodeBlock(twice.data() + kBlock, kBlock, twice.size() - kBlock, 0, alone);
  coder.EncodeBlock(twice.data() + kBlock, kBlock, twice.size() - kBlock, 5 * kBlock, restarted);
  EXPECT_EQ(restarted.Bytes(), alone.Bytes());

  // Restart() (a new operation) does the same for a block that would follow.
  coder.Restart();
  ambrel::BitWriter afterRestart;
  coder.EncodeBlock(twice.data() + kBlock, kBlock, twice.size() - kBlock, 6 * kBlock, afterRestart);
  EXPECT_EQ(afterRestart.Bytes(), alone.Bytes());
}

TEST(LzssCoder, StaysInStepWhenTheFollowingBlockDiffersFromItsReadAhead) {
  // Blocks sent from separate buffers: what the coder read ahead past each
  // block is not what the next block holds.
  for (const DataCase& c : DataCases()) {
    ambrel::LzssCoder coder;
    gps_sim::SimLzssDecoder decoder;
    for (std::size_t at = 0; at < c.data.size(); at += kBlock) {
      Bytes block(c.data.begin() + static_cast<long>(at), c.data.begin() + static_cast<long>(at + kBlock));
      const Bytes spare = RandomBytes(ambrel::kCoderSpare, static_cast<unsigned>(at));
      block.insert(block.end(), spare.begin(), spare.end());
      ambrel::BitWriter bits;
      coder.EncodeBlock(block.data(), kBlock, block.size(), static_cast<std::uint32_t>(at), bits);
      const auto decoded = decoder.Decode(bits.Bytes().data(), bits.Bytes().size(), bits.PadBits(),
                                          static_cast<std::uint32_t>(at));
      ASSERT_TRUE(decoded) << c.name << " block at " << at;
      EXPECT_TRUE(std::equal(decoded->begin(), decoded->end(), block.begin())) << c.name << " block at " << at;
    }
  }
}

TEST(LzssCoder, NeverReadsPastTheBytesItIsGiven) {
  // Exactly one block with no spare: the coder must not look beyond it.
  const Bytes data = Periodic(kBlock, 10);
  const auto copy = std::make_unique<std::uint8_t[]>(kBlock);
  std::copy(data.begin(), data.end(), copy.get());
  ambrel::LzssCoder coder;
  gps_sim::SimLzssDecoder decoder;
  ambrel::BitWriter bits;
  coder.EncodeBlock(copy.get(), kBlock, kBlock, 0, bits);
  const auto decoded = decoder.Decode(bits.Bytes().data(), bits.Bytes().size(), bits.PadBits(), 0);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, data);
}

TEST(HuffmanCoder, RoundTripsThroughTheTargetDecoder) {
  for (const DataCase& c : DataCases()) {
    ambrel::HuffmanCoder coder;
    const Bytes valid(c.data.size(), 1);
    coder.Prepare(c.data.data(), valid.data(), c.data.size());
    gps_sim::SimHuffmanDecoder decoder;
    const auto tree = coder.TreeMessage();
    ASSERT_TRUE(decoder.SetTree(tree.data(), tree.size())) << c.name;
    for (std::size_t at = 0; at < c.data.size(); at += kBlock) {
      ambrel::BitWriter bits;
      coder.EncodeBlock(c.data.data() + at, kBlock, bits);
      const auto decoded = decoder.Decode(bits.Bytes().data(), bits.Bytes().size(), bits.PadBits());
      ASSERT_TRUE(decoded) << c.name;
      EXPECT_TRUE(std::equal(decoded->begin(), decoded->end(), c.data.begin() + static_cast<long>(at))) << c.name;
    }
  }
}

TEST(HuffmanCoder, GivesEveryByteValueACodeAndReportsTheGain) {
  // The image holds only two values; its blocks still carry others (fill,
  // flash bytes kept by a preserved sector).
  Bytes image(4 * kBlock);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = (i % 5) ? 'a' : 'b';
  const Bytes valid(image.size(), 1);
  ambrel::HuffmanCoder coder;
  const auto prep = coder.Prepare(image.data(), valid.data(), image.size());
  EXPECT_GT(prep.gain, 0.8);
  EXPECT_EQ(coder.CodeLength('a'), 1u);
  EXPECT_EQ(coder.CodeLength('b'), 2u);
  EXPECT_EQ(prep.largestBlockBits, 819u + 2u * 205u);  // a block holds 819 a and 205 b
  for (unsigned v = 0; v < 256; ++v) EXPECT_GT(coder.CodeLength(static_cast<std::uint8_t>(v)), 0u) << v;

  const Bytes other = RandomBytes(kBlock, 11);
  gps_sim::SimHuffmanDecoder decoder;
  const auto tree = coder.TreeMessage();
  ASSERT_TRUE(decoder.SetTree(tree.data(), tree.size()));
  ambrel::BitWriter bits;
  coder.EncodeBlock(other.data(), kBlock, bits);
  const auto decoded = decoder.Decode(bits.Bytes().data(), bits.Bytes().size(), bits.PadBits());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, other);

  // Random data gains nothing.
  const Bytes noise = RandomBytes(16 * kBlock, 12);
  const Bytes all(noise.size(), 1);
  EXPECT_LT(coder.Prepare(noise.data(), all.data(), noise.size()).gain, 0.01);
}

TEST(HuffmanCoder, TreeMessageNamesLeavesAndNodes) {
  Bytes image(kBlock, 7);
  image[0] = 9;
  const Bytes valid(image.size(), 1);
  ambrel::HuffmanCoder coder;
  coder.Prepare(image.data(), valid.data(), image.size());
  const auto tree = coder.TreeMessage();
  // Node 256 joins the two smallest leaves; the root (node 510) is last.
  const unsigned firstChild = (tree[0] << 8) | tree[1];
  EXPECT_EQ(firstChild & 0xFF00, 0xFF00u);
  const unsigned rootFirst = (tree[1016] << 8) | tree[1017];
  const unsigned rootSecond = (tree[1018] << 8) | tree[1019];
  EXPECT_TRUE(rootFirst == 0xFF07 || rootSecond == 0xFF07) << "the most frequent byte sits next to the root";
}

}  // namespace
