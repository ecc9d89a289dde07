// The codeplug image view: unit search across blocks, unit and item reads
// and writes with their range checks, the index and the item checksum.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "engine/images/codeplug_image.h"

namespace {

// Builds codeplug images: unit header tables at the front of each block,
// unit data placed downward from the last 16 bytes of the block.
class CodeplugBuilder {
 public:
  CodeplugBuilder(std::uint32_t blockSize, int blockCount, std::uint8_t wordSize)
      : blockSize_(blockSize), wordSize_(wordSize), image_(std::size_t{blockSize} * blockCount, 0x00),
        headers_(blockCount, 0), usedWords_(blockCount, 0) {
    for (int b = 0; b < blockCount; ++b) Terminate(b);
  }

  // Adds a unit; returns the offset of its data in the image.
  std::size_t AddUnit(int block, std::uint16_t id, const std::vector<std::uint8_t>& data,
                      std::uint8_t mark6 = 0x1E, std::uint8_t mark7 = 8) {
    const std::uint32_t words = static_cast<std::uint32_t>(data.size() / wordSize_);
    usedWords_[block] += words;
    const std::uint32_t offset = usedWords_[block];
    AddHeader(block, id, static_cast<std::uint8_t>(words), static_cast<std::uint16_t>(offset), mark6, mark7);
    const std::size_t at = BlockStart(block) + blockSize_ - 16 - std::size_t{wordSize_} * offset;
    std::copy(data.begin(), data.end(), image_.begin() + static_cast<std::ptrdiff_t>(at));
    return at;
  }

  void AddHeader(int block, std::uint16_t id, std::uint8_t lengthWords, std::uint16_t offsetWords,
                 std::uint8_t mark6 = 0x1E, std::uint8_t mark7 = 8) {
    std::uint8_t* h = &image_[BlockStart(block) + 8 * headers_[block]++];
    h[0] = static_cast<std::uint8_t>(id >> 8);
    h[1] = static_cast<std::uint8_t>(id);
    h[2] = 0;
    h[3] = lengthWords;
    h[4] = static_cast<std::uint8_t>(offsetWords >> 8);
    h[5] = static_cast<std::uint8_t>(offsetWords);
    h[6] = mark6;
    h[7] = mark7;
    Terminate(block);
  }

  // The index: total length, the entries' words, then the entries.
  struct Entry {
    std::uint16_t unitNumber;
    std::uint16_t firstItem;
    std::uint8_t words;
  };
  std::size_t AddIndex(int block, const std::vector<Entry>& entries) {
    std::vector<std::uint8_t> words;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
      for (int w = 0; w < it->words; ++w) {
        words.push_back(static_cast<std::uint8_t>(it->unitNumber >> 8));
        words.push_back(static_cast<std::uint8_t>(w));
      }
    }
    std::vector<std::uint8_t> data{0, 0};
    data.insert(data.end(), words.begin(), words.end());
    for (const auto& e : entries) {
      const std::uint8_t entry[8] = {static_cast<std::uint8_t>(e.unitNumber >> 8), static_cast<std::uint8_t>(e.unitNumber),
                                     0, e.words, static_cast<std::uint8_t>(e.firstItem >> 8),
                                     static_cast<std::uint8_t>(e.firstItem), 0, 0};
      data.insert(data.end(), entry, entry + 8);
    }
    data[0] = static_cast<std::uint8_t>(data.size() >> 8);
    data[1] = static_cast<std::uint8_t>(data.size());
    while (data.size() % wordSize_) data.push_back(0);
    return AddUnit(block, 0, data);
  }

  static std::vector<std::uint8_t> Item(const std::vector<std::uint8_t>& data, std::uint16_t checksum = 0) {
    std::vector<std::uint8_t> item{0xA0, 0xA1, static_cast<std::uint8_t>(data.size() >> 8),
                                   static_cast<std::uint8_t>(data.size()), 0xA4, 0xA5,
                                   static_cast<std::uint8_t>(checksum >> 8), static_cast<std::uint8_t>(checksum)};
    item.insert(item.end(), data.begin(), data.end());
    return item;
  }

  std::vector<std::uint8_t>& Image() { return image_; }
  std::size_t BlockStart(int block) const { return std::size_t{blockSize_} * static_cast<std::size_t>(block); }

 private:
  void Terminate(int block) {
    const std::size_t at = BlockStart(block) + 8 * headers_[block];
    if (at + 2 <= BlockStart(block) + blockSize_) image_[at] = image_[at + 1] = 0xFF;
  }

  std::uint32_t blockSize_;
  std::uint8_t wordSize_;
  std::vector<std::uint8_t> image_;
  std::vector<int> headers_;
  std::vector<std::uint32_t> usedWords_;
};

template <class F>
int Fails(F&& f) {
  try {
    f();
  } catch (CP_EXCEPTION e) {
    return e;
  }
  return -1;
}

constexpr std::uint32_t kBlock = 512;

// Three blocks: block 0 holds no units, block 1 the index and items, block 2
// plain units. Word size 2.
class CodeplugImage : public ::testing::Test {
 protected:
  CodeplugImage() : builder_(kBlock, 3, 2) {
    builder_.Image()[0] = builder_.Image()[1] = 0xFF;
    builder_.AddIndex(1, {{0x0100, 0x20, 2}, {0x1280, 0x30, 3}});
    builder_.AddUnit(1, 0x30, CodeplugBuilder::Item({1, 2, 3, 4, 5, 6}));
    builder_.AddUnit(1, 0x31, CodeplugBuilder::Item(std::vector<std::uint8_t>(10, 0x11)));
    builder_.AddUnit(1, 0x32, CodeplugBuilder::Item(std::vector<std::uint8_t>(86, 0)));
    builder_.AddUnit(2, 0x42, {9, 9}, 0x1E, 7);  // marks wrong: passed over
    unit42_ = builder_.AddUnit(2, 0x42, {0x42, 0x43, 0x44, 0x45});
  }
  CCodeplugImage View() { return CCodeplugImage(builder_.Image().data(), kBlock, 3, 2); }

  CodeplugBuilder builder_;
  std::size_t unit42_ = 0;
};

TEST_F(CodeplugImage, FindsUnitsInLaterBlocksAndSkipsInvalidHeaders) {
  auto view = View();
  EXPECT_EQ(view.FindUnitHeader(0x42), builder_.Image().data() + builder_.BlockStart(2) + 8);
  EXPECT_EQ(view.FindUnitHeader(0x99), nullptr);
  EXPECT_EQ(view.UnitDataPointer(view.FindUnitHeader(0x42)), builder_.Image().data() + unit42_);
  EXPECT_EQ(view.UnitLength(view.FindUnitHeader(0x42)), 4u);
}

TEST_F(CodeplugImage, UnitReadsAndWritesStayInsideTheUnit) {
  auto view = View();
  std::uint8_t bytes[8] = {};
  view.ReadUnitData(0x42, bytes, 4, 0);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 4), (std::vector<std::uint8_t>{0x42, 0x43, 0x44, 0x45}));
  view.ReadUnitData(0x42, bytes, 1, 3);
  EXPECT_EQ(bytes[0], 0x45);
  EXPECT_EQ(Fails([&] { view.ReadUnitData(0x42, bytes, 5, 0); }), CP_READ_OUT_OF_RANGE);
  EXPECT_EQ(Fails([&] { view.ReadUnitData(0x42, bytes, 2, 3); }), CP_READ_OUT_OF_RANGE);
  EXPECT_EQ(Fails([&] { view.ReadUnitData(0x42, bytes, 0, 5); }), CP_READ_OUT_OF_RANGE);
  EXPECT_EQ(Fails([&] { view.ReadUnitData(0x42, bytes, 0x20, 0xFFFFFFF0u); }), CP_READ_OUT_OF_RANGE);
  EXPECT_EQ(Fails([&] { view.ReadUnitData(0x99, bytes, 1, 0); }), CP_UNIT_HEADER_NOT_FOUND);

  const std::uint8_t source[2] = {0xAA, 0xBB};
  view.WriteUnitData(0x42, source, 2, 2);
  EXPECT_EQ(builder_.Image()[unit42_ + 2], 0xAA);
  EXPECT_EQ(builder_.Image()[unit42_ + 3], 0xBB);
  const auto before = builder_.Image();
  EXPECT_EQ(Fails([&] { view.WriteUnitData(0x42, source, 2, 3); }), CP_WRITE_OUT_OF_RANGE);
  EXPECT_EQ(Fails([&] { view.WriteUnitData(0x42, source, 2, 0xFFFFFFFFu); }), CP_WRITE_OUT_OF_RANGE);
  EXPECT_EQ(builder_.Image(), before);
}

TEST_F(CodeplugImage, IndexGivesTheFirstItemOfEachUnitNumber) {
  auto view = View();
  EXPECT_EQ(view.IndexEntryCount(), 2u);
  EXPECT_EQ(view.IndexWordCount(), 5u);
  EXPECT_EQ(view.FindIndexEntry(0x1280), 0x30u);
  EXPECT_EQ(view.FindIndexEntry(0x0100), 0x20u);
  EXPECT_EQ(Fails([&] { view.FindIndexEntry(0x1281); }), CP_UNIT_NUMBER_NOT_FOUND);
}

TEST_F(CodeplugImage, ItemsAreReadPastTheirHeaderWithinTheirLength) {
  auto view = View();
  EXPECT_EQ(view.ItemLength(0x1280, 1), 6u);
  EXPECT_EQ(view.ItemLength(0x1280, 2), 10u);
  std::uint8_t bytes[16] = {};
  view.ReadItem(0x1280, 1, bytes, 6, 0);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 6), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  view.ReadItem(0x1280, 1, bytes, 2, 4);
  EXPECT_EQ(bytes[0], 5);
  EXPECT_EQ(Fails([&] { view.ReadItem(0x1280, 1, bytes, 7, 0); }), CP_READ_OUT_OF_RANGE);
  EXPECT_EQ(Fails([&] { view.ReadItem(0x1280, 1, bytes, 1, 6); }), CP_READ_OUT_OF_RANGE);
  EXPECT_EQ(Fails([&] { view.ReadItem(0x1280, 4, bytes, 1, 0); }), CP_UNIT_HEADER_NOT_FOUND);
  EXPECT_EQ(Fails([&] { view.ReadItem(0x1280, 0, bytes, 1, 0); }), CP_UNIT_HEADER_NOT_FOUND);
}

TEST_F(CodeplugImage, WritingAnItemRenewsItsChecksumAndKeepsItsOtherHeaderBytes) {
  auto view = View();
  // 85 bytes of 0xFF and one of 0xAA sum to 0x5555: the checksum becomes 0.
  std::vector<std::uint8_t> data(86, 0xFF);
  data.back() = 0xAA;
  view.WriteItem(0x1280, 3, data.data(), 86, 0);
  std::uint8_t header[8];
  view.ReadUnitData(0x32, header, 8, 0);
  EXPECT_EQ((std::vector<std::uint8_t>(header, header + 8)),
            (std::vector<std::uint8_t>{0xA0, 0xA1, 0, 86, 0xA4, 0xA5, 0x00, 0x00}));

  // A partial write sums the whole item: nine bytes of 0x11 and the new one.
  const std::uint8_t one = 0x22;
  view.WriteItem(0x1280, 2, &one, 1, 0);
  view.ReadUnitData(0x31, header, 8, 0);
  EXPECT_EQ(header[6] << 8 | header[7], (0xAAAB + 9 * 0x11 + 0x22) & 0xFFFF);
  std::uint8_t back[10];
  view.ReadItem(0x1280, 2, back, 10, 0);
  EXPECT_EQ(back[0], 0x22);
  EXPECT_EQ(back[9], 0x11);
  EXPECT_EQ(Fails([&] { view.WriteItem(0x1280, 2, &one, 1, 10); }), CP_WRITE_OUT_OF_RANGE);
}

TEST(ItemChecksum, DataSummingTo5555GivesZero) {
  std::vector<std::uint8_t> data(0x5555 / 0xFF, 0xFF);  // 85 x 0xFF = 0x54AB
  data.push_back(0x55 + 0x5555 - 0x54AB - 0x55);
  std::uint32_t sum = 0;
  for (auto b : data) sum += b;
  ASSERT_EQ(sum, 0x5555u);
  EXPECT_EQ(ItemChecksum(data.data(), static_cast<std::uint32_t>(data.size())), 0x0000);
  EXPECT_EQ(ItemChecksum(nullptr, 0), 0xAAAB);
}

TEST(CodeplugImageFaults, ImageWithoutIndexUnitFailsWithHeaderNotFound) {
  CodeplugBuilder builder(256, 2, 2);
  builder.AddUnit(0, 0x10, {1, 2});
  EXPECT_EQ(Fails([&] { CCodeplugImage(builder.Image().data(), 256, 2, 2); }), CP_UNIT_HEADER_NOT_FOUND);
  EXPECT_EQ(Fails([&] { CCodeplugImage(builder.Image().data(), 256, 0, 2); }), CP_UNIT_HEADER_NOT_FOUND);
}

TEST(CodeplugImageFaults, HeaderTableRunningPastTheBlockFails) {
  CodeplugBuilder builder(64, 1, 2);
  for (int i = 0; i < 8; ++i) builder.AddHeader(0, static_cast<std::uint16_t>(0x100 + i), 0, 0);
  EXPECT_EQ(Fails([&] { CCodeplugImage(builder.Image().data(), 64, 1, 2); }), CP_SEARCH_RANGE_EXCEEDED);
}

TEST(CodeplugImageFaults, UnitDataOutsideTheImageFails) {
  {
    CodeplugBuilder builder(256, 1, 2);
    builder.AddHeader(0, 0, 4, 0x200);  // points below the image
    EXPECT_EQ(Fails([&] { CCodeplugImage(builder.Image().data(), 256, 1, 2); }), CP_DATA_POINTER_OUT_OF_RANGE);
  }
  {
    CodeplugBuilder builder(256, 1, 2);
    builder.AddHeader(0, 0, 100, 1);  // 200 bytes from 18 bytes before the end
    EXPECT_EQ(Fails([&] { CCodeplugImage(builder.Image().data(), 256, 1, 2); }), CP_DATA_POINTER_OUT_OF_RANGE);
  }
}

TEST(CodeplugImageFaults, IndexLengthsAreCheckedInFull) {
  {
    // Index length beyond the end of the image.
    CodeplugBuilder builder(256, 1, 2);
    const std::size_t at = builder.AddUnit(0, 0, {0xFF, 0xF0, 0, 0});
    (void)at;
    EXPECT_EQ(Fails([&] { CCodeplugImage(builder.Image().data(), 256, 1, 2); }), CP_READ_OUT_OF_RANGE);
  }
  {
    // An entry that claims more words than the index holds.
    CodeplugBuilder builder(256, 1, 2);
    builder.AddUnit(0, 0, {0, 10, 0x00, 0x01, 0, 200, 0x00, 0x20, 0, 0});
    EXPECT_EQ(Fails([&] { CCodeplugImage(builder.Image().data(), 256, 1, 2); }), CP_READ_OUT_OF_RANGE);
  }
  {
    // An index shorter than one entry has none.
    CodeplugBuilder builder(256, 1, 2);
    builder.AddUnit(0, 0, {0, 4, 0, 0});
    CCodeplugImage view(builder.Image().data(), 256, 1, 2);
    EXPECT_EQ(view.IndexEntryCount(), 0u);
    EXPECT_EQ(Fails([&] { view.FindIndexEntry(0); }), CP_UNIT_NUMBER_NOT_FOUND);
  }
}

TEST(CodeplugImageFaults, ItemLongerThanItsUnitIsRefused) {
  CodeplugBuilder builder(512, 1, 2);
  builder.AddIndex(0, {{0x0005, 0x50, 1}});
  auto item = CodeplugBuilder::Item({1, 2, 3, 4});
  item[3] = 40;  // claims 40 bytes, the unit holds 4
  builder.AddUnit(0, 0x50, item);
  CCodeplugImage view(builder.Image().data(), 512, 1, 2);
  EXPECT_EQ(view.ItemLength(0x0005, 1), 40u);
  std::uint8_t bytes[40] = {};
  EXPECT_EQ(Fails([&] { view.ReadItem(0x0005, 1, bytes, 20, 0); }), CP_READ_OUT_OF_RANGE);
  const auto before = builder.Image();
  EXPECT_EQ(Fails([&] { view.WriteItem(0x0005, 1, bytes, 1, 0); }), CP_WRITE_OUT_OF_RANGE);
  EXPECT_EQ(builder.Image(), before);
}

TEST(CodeplugErrorText, EveryCodeHasItsText) {
  EXPECT_STREQ(CodeplugErrorText(0), "Codeplug unit header not found");
  EXPECT_STREQ(CodeplugErrorText(1), "Codeplug unit header search range exceeded");
  EXPECT_STREQ(CodeplugErrorText(2), "Codeplug unit data pointer out of range");
  EXPECT_STREQ(CodeplugErrorText(3), "Codeplug read out of range");
  EXPECT_STREQ(CodeplugErrorText(4), "Codeplug write out of range");
  EXPECT_STREQ(CodeplugErrorText(5), "Codeplug unit #1 id not found");
  EXPECT_STREQ(CodeplugErrorText(6), "Undefined codeplug exception");
  EXPECT_TRUE(IsCodeplugError(CP_UNIT_HEADER_NOT_FOUND));
  EXPECT_TRUE(IsCodeplugError(CP_UNIT_NUMBER_NOT_FOUND));
  EXPECT_FALSE(IsCodeplugError(CP_UNIT_NUMBER_NOT_FOUND + 1));
  EXPECT_FALSE(IsCodeplugError(-1));
}

}  // namespace
