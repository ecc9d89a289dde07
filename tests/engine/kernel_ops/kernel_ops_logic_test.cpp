// The parts of the kernel operations that need no radio: block cursor,
// request layouts, read-reply and RAM-reply decoding with their bounds,
// data-area checks, smart-flash pacing, reply texts and command lines.

#include <gtest/gtest.h>

#include <vector>

#include "engine/link/kernel.h"
#include "engine/link/kernel_flash.h"
#include "engine/link/kernel_flash_cursor.h"
#include "engine/link/kernel_op_requests.h"
#include "engine/link/kernel_ram_dump.h"
#include "engine/link/kernel_read_back.h"
#include "engine/link/kernel_small_ops.h"
#include "engine/link/kernel_smart_flash.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Block {
  std::uint32_t address;
  std::uint32_t length;
  std::uint32_t consumed;
};

std::vector<Block> Walk(const Bytes& data, std::uint32_t address, bool skipErased, Bytes* firstRequest = nullptr) {
  FlashBlockCursor cursor(static_cast<std::uint32_t>(data.size()), address, data.data(), skipErased);
  std::vector<Block> blocks;
  Bytes request(kProgramHeaderBytes + kMaxProgramBlock);
  while (!cursor.IsFinished()) {
    cursor.NextBlock(request.data());
    if (firstRequest && blocks.empty())
      firstRequest->assign(request.begin(), request.begin() + kProgramHeaderBytes + cursor.BlockLength());
    blocks.push_back({cursor.BlockAddress(), cursor.BlockLength(), cursor.BlockConsumed()});
  }
  return blocks;
}

TEST(FlashBlockCursor, SplitsAnEntryIntoBlocksOfAtMost3072Bytes) {
  Bytes data(7000, 0x5A);
  const auto blocks = Walk(data, 0x10000, false);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[0].address, 0x10000u);
  EXPECT_EQ(blocks[1].address, 0x10000u + 3072);
  EXPECT_EQ(blocks[2].address, 0x10000u + 6144);
  EXPECT_EQ(blocks[0].length, 3072u);
  EXPECT_EQ(blocks[1].length, 3072u);
  EXPECT_EQ(blocks[2].length, 856u);
}

TEST(FlashBlockCursor, ProgramRequestCarriesAddressLengthAndData) {
  Bytes data{1, 2, 3, 4, 5};
  Bytes request;
  Walk(data, 0x12345678, false, &request);
  EXPECT_EQ(request, (Bytes{0x01, 0x00, 0x12, 0x34, 0x56, 0x78, 0x00, 0x05, 1, 2, 3, 4, 5}));
}

TEST(FlashBlockCursor, SkipsLeadingErasedPairsButCountsThemConsumed) {
  Bytes data(300, 0xFF);
  for (std::size_t i = 100; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  const auto blocks = Walk(data, 0x1000, true);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].address, 0x1000u + 100);
  EXPECT_EQ(blocks[0].length, 200u);
  EXPECT_EQ(blocks[0].consumed, 300u);
  // Without the flag the erased bytes are sent.
  EXPECT_EQ(Walk(data, 0x1000, false)[0].length, 300u);
}

TEST(FlashBlockCursor, ABlockErasedThroughoutKeepsItsLastTwoBytes) {
  const auto blocks = Walk(Bytes(64, 0xFF), 0x2000, true);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].address, 0x2000u + 62);
  EXPECT_EQ(blocks[0].length, 2u);
  EXPECT_EQ(blocks[0].consumed, 64u);
}

TEST(FlashBlockCursor, EveryBlockSkipsItsOwnLeadingErasedBytes) {
  Bytes data(3072 + 3072, 0x11);
  for (std::size_t i = 3072; i < 3072 + 10; ++i) data[i] = 0xFF;
  const auto blocks = Walk(data, 0, true);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[1].address, 3072u + 10);
  EXPECT_EQ(blocks[1].length, 3072u - 10);
  EXPECT_EQ(blocks[0].consumed + blocks[1].consumed, data.size());
}

TEST(FlashBlockCursor, EmptyEntryIsFinishedAtOnceAndModesAreSetOnce) {
  FlashBlockCursor empty(0, 0x100, nullptr, false);
  EXPECT_TRUE(empty.IsFinished());
  Bytes data(10, 0);
  FlashBlockCursor cursor(10, 0, data.data(), false);
  EXPECT_EQ(cursor.SetBufferMode(2), 1);  // mode 1 was set at construction
  EXPECT_EQ(cursor.SetBufferMode(7), 1);
}

TEST(KernelOpRequests, LayoutsAreBigEndianWithTheirFixedLengths) {
  EXPECT_EQ(EraseRequest(0x00010000, 0x0001FFFF), (Bytes{0x01, 0x07, 0, 1, 0, 0, 0, 1, 0xFF, 0xFF}));
  EXPECT_EQ(ReadRequest(0x00200040, 64), (Bytes{0x01, 0x06, 0x00, 0x20, 0x00, 0x40, 0x00, 0x40, 0x01}));
  const auto region = FdiRegionRequest(0x00400000, 0x10000, 3);
  ASSERT_EQ(region.size(), 26u);
  EXPECT_EQ(Bytes(region.begin(), region.begin() + 12), (Bytes{0x07, 0x00, 0, 0x40, 0, 0, 0, 1, 0, 0, 0, 3}));
  const auto unit = FdiUnitRequest(0x00410000, 0x10000, 0x1234, 0xABCD);
  ASSERT_EQ(unit.size(), 30u);
  EXPECT_EQ(Bytes(unit.begin(), unit.begin() + 14),
            (Bytes{0x07, 0x01, 0, 0x41, 0, 0, 0, 1, 0, 0, 0x12, 0x34, 0xAB, 0xCD}));
  EXPECT_EQ(EndOfDataRequest().size(), 8u);
  EXPECT_EQ(CompletionRequest(), (Bytes{0x06, 0x01, 0x00, 0, 0, 0, 0, 0}));
}

TEST(KernelOpRequests, RamFramesEndInTheirChecksum) {
  EXPECT_EQ(RamAnnounceFrame(), (Bytes{0xF2, 0x31, 0x00, 0xDC}));
  EXPECT_EQ(RamRegionCountFrame(), (Bytes{0xF2, 0x35, 0x00, 0xD8}));
  EXPECT_EQ(RamRegionFrame(3), (Bytes{0xF2, 0x32, 0x03, 0xD8}));
  const auto read = RamReadFrame(0x20001000, 512);
  ASSERT_EQ(read.size(), 10u);
  EXPECT_EQ(Bytes(read.begin(), read.begin() + 9), (Bytes{0xF8, 0x33, 0x20, 0x00, 0x10, 0x00, 0x00, 0x02, 0x00}));
  std::uint8_t sum = 0;
  for (auto b : read) sum = static_cast<std::uint8_t>(sum + b);
  EXPECT_EQ(sum, 0xFF);
}

// A read reply: [2] status, [7..8] N, [9] coding, data from [10].
Bytes ReadReply(std::uint16_t length, std::uint8_t coding, const Bytes& data) {
  Bytes reply{0x01, 0x86, 0x00, 0, 0, 0, 0, static_cast<std::uint8_t>(length >> 8),
              static_cast<std::uint8_t>(length), coding};
  reply.insert(reply.end(), data.begin(), data.end());
  return reply;
}

struct ReadCase {
  const char* name;
  Bytes reply;
  std::uint32_t asked;
  int result;
  Bytes expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class DecodeRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(DecodeRead, TakesOnlyTheLengthThatWasAsked) {
  const auto& c = GetParam();
  Bytes out(c.asked, 0xAA);
  EXPECT_EQ(DecodeReadReply(c.reply, out.data(), c.asked), c.result);
  EXPECT_EQ(out, c.result == 0 ? c.expected : Bytes(c.asked, 0xAA));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DecodeRead,
    ::testing::Values(
        ReadCase{"raw", ReadReply(4, 0, {1, 2, 3, 4}), 4, KERNEL_OK, {1, 2, 3, 4}},
        ReadCase{"run_fills_the_length", ReadReply(3, 1, {0xFF, 0x00, 0x40}), 64, KERNEL_OK, Bytes(64, 0xFF)},
        ReadCase{"raw_shorter_than_asked", ReadReply(3, 0, {1, 2, 3}), 4, KERNEL_ERROR_READ_DECODE_FAILED, {}},
        ReadCase{"raw_longer_than_asked", ReadReply(8, 0, {1, 2, 3, 4, 5, 6, 7, 8}), 4, KERNEL_ERROR_READ_DECODE_FAILED,
                 {}},
        ReadCase{"raw_beyond_the_reply", ReadReply(4, 0, {1, 2}), 4, KERNEL_ERROR_READ_DECODE_FAILED, {}},
        ReadCase{"run_count_not_asked", ReadReply(3, 1, {0xFF, 0x01, 0x00}), 64, KERNEL_ERROR_READ_DECODE_FAILED, {}},
        ReadCase{"run_with_wrong_n", ReadReply(4, 1, {0xFF, 0x00, 0x40, 0}), 64, KERNEL_ERROR_READ_DECODE_FAILED, {}},
        ReadCase{"unknown_coding", ReadReply(4, 2, {1, 2, 3, 4}), 4, KERNEL_ERROR_READ_DECODE_FAILED, {}},
        ReadCase{"truncated_header", Bytes{0x01, 0x86, 0x00}, 4, KERNEL_ERROR_READ_DECODE_FAILED, {}}));

TEST(FdiArea, EntriesMustBeWholeUnitsInsideTheArea) {
  const FdiRegion area{0x400000, 0x1000, 4};
  EXPECT_TRUE(IsFdiEntry({0x400000, 0x4000, nullptr}, area));
  EXPECT_TRUE(IsFdiEntry({0x401000, 0x2000, nullptr}, area));
  EXPECT_FALSE(IsFdiEntry({0x400000, 0x1800, nullptr}, area));   // not whole units
  EXPECT_FALSE(IsFdiEntry({0x403000, 0x2000, nullptr}, area));   // runs past the end
  EXPECT_FALSE(IsFdiEntry({0x3FF000, 0x1000, nullptr}, area));   // before the base
  EXPECT_FALSE(IsFdiEntry({0x400800, 0x1000, nullptr}, area));   // not on a unit
  EXPECT_FALSE(IsFdiEntry({0x400000, 0x1000, nullptr}, FdiRegion{0x400000, 0x1000, 0}));
  EXPECT_FALSE(IsFdiEntry({0x400000, 0x1000, nullptr}, FdiRegion{0x400000, 0x1000, 0x10000}));
}

TEST(FdiArea, UnitPartsMustLieInsideTheUnitWithoutOverlap) {
  std::uint32_t offset = 0;
  EXPECT_TRUE(FdiPartsFitUnit({0x9000, 0x100, 0x9FE0, 0x20}, 0x1000, offset));
  EXPECT_EQ(offset, 0xFE0u);
  EXPECT_TRUE(FdiPartsFitUnit({0x9000, 0x1000, 0, 0}, 0x1000, offset));
  EXPECT_FALSE(FdiPartsFitUnit({0x9000, 0x1001, 0, 0}, 0x1000, offset));          // front too long
  EXPECT_FALSE(FdiPartsFitUnit({0x9000, 0, 0x8000, 0x20}, 0x1000, offset));       // back before the unit
  EXPECT_FALSE(FdiPartsFitUnit({0x9000, 0, 0x9FF0, 0x20}, 0x1000, offset));       // back past the end
  EXPECT_FALSE(FdiPartsFitUnit({0x9000, 0x800, 0x9400, 0x10}, 0x1000, offset));   // overlap
  EXPECT_FALSE(FdiPartsFitUnit({0x9000, 0, 0xFFFFFFF0, 0xFFFFFFFF}, 0x1000, offset));
}

TEST(SmartFlashPlan, OnePassTakesWhatFitsBesideTheFrameOverhead) {
  const std::uint32_t freeBytes = 50 * 3080;  // overhead 50 × 8 + 8 = 408
  EXPECT_EQ(PlanStreamPiece(freeBytes, freeBytes - 408).length, freeBytes - 408);
  EXPECT_TRUE(PlanStreamPiece(freeBytes, freeBytes - 408).wholeRest);
  const auto piece = PlanStreamPiece(freeBytes, freeBytes);
  EXPECT_FALSE(piece.wholeRest);
  EXPECT_EQ(piece.length, freeBytes - 408);
  EXPECT_TRUE(PlanStreamPiece(freeBytes, 0).wholeRest);
}

TEST(SmartFlashPlan, SortKeepsEqualAddressesInTheirOrder) {
  std::uint8_t a = 0, b = 0, c = 0, d = 0;
  CRegionList list;
  list.Add(0x300, 1, &a);
  list.Add(0x100, 1, &b);
  list.Add(0x300, 1, &c);
  list.Add(0x200, 1, &d);
  SortRegionsByAddress(list);
  ASSERT_EQ(list.Count(), 4u);
  EXPECT_EQ(list[0].buffer, &b);
  EXPECT_EQ(list[1].buffer, &d);
  EXPECT_EQ(list[2].buffer, &a);
  EXPECT_EQ(list[3].buffer, &c);
}

TEST(SmartFlashPlan, StallWatchCountsFromTheLastChange) {
  StallWatch watch(30000, 1000);
  EXPECT_FALSE(watch.Stalled(5, 1000));
  EXPECT_FALSE(watch.Stalled(5, 30999));
  EXPECT_FALSE(watch.Stalled(6, 31000));  // a change starts the count again
  EXPECT_FALSE(watch.Stalled(6, 60999));
  EXPECT_TRUE(watch.Stalled(6, 61000));
}

TEST(RamDumpReplies, ReadRepliesAreTakenOnlyInTheirTwoShapes) {
  Bytes out(4, 0);
  const Bytes extended{0xFF, 0x00, 0x00, 0x06, 0x33, 1, 2, 3, 4, 0x00};
  EXPECT_EQ(DecodeRamRead(extended, out.data(), 4), KERNEL_OK);
  EXPECT_EQ(out, (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(DecodeRamRead(Bytes{0xF2, 0xB3, 0x5A, 0x00}, out.data(), 4), KERNEL_OK);
  EXPECT_EQ(out, Bytes(4, 0x5A));
  EXPECT_EQ(DecodeRamRead(extended, out.data(), 8), RAM_DUMP_BAD_READ);  // length not asked
  EXPECT_EQ(DecodeRamRead(Bytes{0xFF, 0x00, 0x00, 0x06, 0x33, 1}, out.data(), 4), RAM_DUMP_BAD_READ);  // short
  EXPECT_EQ(DecodeRamRead(Bytes{0xF3, 0xB3, 0x5A, 0x00, 0x00}, out.data(), 4), RAM_DUMP_BAD_READ);
  EXPECT_EQ(DecodeRamRead(Bytes{0xF2, 0xBF, 0x06, 0x00}, out.data(), 4), RAM_DUMP_BAD_READ);  // a refusal is no fill
  EXPECT_EQ(DecodeRamRead(Bytes{}, out.data(), 4), RAM_DUMP_BAD_READ);
}

TEST(RamDumpReplies, RefusalsAndRegionBounds) {
  EXPECT_EQ(UnexpectedRamReply(Bytes{0xF2, 0xB1, 0x06, 0x00}), 75);
  EXPECT_EQ(UnexpectedRamReply(Bytes{0xF2, 0xB1, 0x05, 0x00}), 76);
  EXPECT_EQ(UnexpectedRamReply(Bytes{}), 76);
  EXPECT_TRUE(RamRegionFits(0x20000000, 0x10000));
  EXPECT_TRUE(RamRegionFits(0xFFFF0000, 0x10000));
  EXPECT_FALSE(RamRegionFits(0xFFFF0000, 0x10001));  // wraps
  EXPECT_FALSE(RamRegionFits(0, 0));
  EXPECT_FALSE(RamRegionFits(0, kLargestRamRegion + 1));
}

TEST(ReplyTexts, TextsEndAtTheirZeroOrAtTheReply) {
  const Bytes reply{0x03, 0x84, 0x00, 0x03, 'O', 'K', 0, 'X'};
  EXPECT_EQ(TerminatedText(reply.data(), reply.size(), 4), "OK");
  const Bytes unterminated{0x03, 0x84, 0x00, 0x03, 'A', 'B', 'C'};
  EXPECT_EQ(TerminatedText(unterminated.data(), unterminated.size(), 4), "ABC");
  EXPECT_EQ(TerminatedText(reply.data(), 3, 4), "");
  EXPECT_TRUE(IsTextReply(reply.data(), reply.size()));
  EXPECT_FALSE(IsTextReply(reply.data(), 3));
  const Bytes plain{0x03, 0x84, 0x00, 0x00};
  EXPECT_FALSE(IsTextReply(plain.data(), plain.size()));
}

TEST(SmartphoneLines, FileAndFormatLines) {
  EXPECT_EQ(CKernel::SmartphoneFileLine("a.bin"), "l \"a.bin\"\r");
  EXPECT_EQ(CKernel::SmartphoneFileLine("a.bin").size(), 10u);
  EXPECT_EQ(CKernel::SmartphoneFormatLine(), "format 1\r");
}

TEST(RegionTotals, SumOfLengths) {
  CRegionList list;
  EXPECT_EQ(RegionListTotal(nullptr), 0);
  EXPECT_EQ(RegionListTotal(&list), 0);
  list.Add(0, 0xFFFFFFFF);
  list.Add(0, 2);
  EXPECT_EQ(RegionListTotal(&list), std::int64_t{0xFFFFFFFF} + 2);
}

}  // namespace
