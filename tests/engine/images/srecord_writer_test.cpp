// The S-record writer: record layout, splitting, states, refusals, and the
// promise that a file appears whole or not at all. Also a random
// write-then-read round trip through the reader.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/images/srecord_file.h"
#include "image_test_support.h"

namespace {

using images_test::Bytes;
using images_test::Line;
using images_test::Ramp;
using images_test::TempDir;

class SRecordWriter : public ::testing::Test {
 protected:
  void SetUp() override { file_.OpenSRecordFile(Path(), CSRecordFile::kModeWrite); }
  std::string Path() const { return dir_.File("out.s19"); }
  std::uint32_t Write(const std::vector<std::uint8_t>& data, std::uint32_t address, std::uint32_t type) {
    std::uint32_t written = 0xDEAD;
    file_.WriteSRecordBlock(data.data(), static_cast<std::uint32_t>(data.size()), address, type, written);
    return written;
  }
  int WriteFails(const std::vector<std::uint8_t>& data, std::uint32_t address, std::uint32_t type) {
    try {
      Write(data, address, type);
    } catch (SREC_EXCEPTION e) {
      return e;
    }
    return 0;
  }
  std::string Closed() {
    file_.CloseSRecordFile();
    return images_test::ReadFile(Path());
  }

  TempDir dir_;
  CSRecordFile file_;
};

TEST_F(SRecordWriter, HeaderIsOneS0LineWithoutAddressDigits) {
  EXPECT_EQ(Write(Bytes("Quillon"), 0, 0), 7u);
  EXPECT_EQ(Write({}, 0x1234, 7), 0u);
  EXPECT_EQ(Closed(), "S0085175696C6C6F6E13\r\nS70500001234B4\r\n");
}

TEST_F(SRecordWriter, FiftyBytesAsS3GiveRecordsOf21And21And8) {
  Write(Bytes("H"), 0, 0);
  const auto data = Ramp(50);
  EXPECT_EQ(Write(data, 0x00100000, 3), 50u);
  const std::vector<std::uint8_t> a(data.begin(), data.begin() + 21), b(data.begin() + 21, data.begin() + 42),
      c(data.begin() + 42, data.end());
  EXPECT_EQ(Closed(), Line(0, 0, Bytes("H")) + "\r\n" + Line(3, 0x00100000, a) + "\r\n" +
                          Line(3, 0x00100015, b) + "\r\n" + Line(3, 0x0010002A, c) + "\r\n");
  EXPECT_EQ(file_.GetLineCount(), 4u);
}

struct FullRecordCase {
  std::uint32_t type;
  std::uint32_t bytesPerLine;
};

TEST_F(SRecordWriter, FullLinesCarry21BytesForS3And22ForS2And23ForS1) {
  Write({}, 0, 0);
  for (const FullRecordCase c : {FullRecordCase{3, 21}, FullRecordCase{2, 22}, FullRecordCase{1, 23}}) {
    Write(Ramp(c.bytesPerLine), 0x100, c.type);
  }
  std::string expected = Line(0, 0, {}) + "\r\n";
  for (std::uint32_t type : {3u, 2u, 1u}) {
    expected += Line(static_cast<int>(type), 0x100, Ramp(24 - type)) + "\r\n";
  }
  EXPECT_EQ(Closed(), expected);
}

TEST_F(SRecordWriter, EmptyBlockIsOneRecordWithoutData) {
  Write({}, 0, 0);
  EXPECT_EQ(Write({}, 0x40, 1), 0u);
  EXPECT_EQ(Closed(), Line(0, 0, {}) + "\r\n" + Line(1, 0x40, {}) + "\r\n");
}

TEST_F(SRecordWriter, LongHeaderIsCutToOneRecord) {
  file_.SetRecordLength(10);
  EXPECT_EQ(Write(Bytes("A header longer than nine"), 0, 0), 9u);
  EXPECT_EQ(Closed(), Line(0, 0, Bytes("A header ")) + "\r\n");
}

TEST_F(SRecordWriter, RecordsFollowTheRecordLength) {
  file_.SetRecordLength(9);  // S1: 6 data bytes per record
  Write({}, 0, 0);
  Write(Ramp(12), 0x10, 1);
  EXPECT_EQ(Closed(), Line(0, 0, {}) + "\r\n" + Line(1, 0x10, Ramp(6)) + "\r\n" + Line(1, 0x16, Ramp(6, 6)) + "\r\n");
}

TEST_F(SRecordWriter, StateRules) {
  EXPECT_EQ(WriteFails(Ramp(4), 0, 1), SREC_ILLEGAL_RECORD_TYPE);  // header missing
  Write({}, 0, 0);
  EXPECT_EQ(WriteFails({}, 0, 0), SREC_ILLEGAL_RECORD_TYPE);  // a second header
  for (std::uint32_t type : {4u, 5u, 6u, 10u}) EXPECT_EQ(WriteFails(Ramp(2), 0, type), SREC_TYPE_NOT_SUPPORTED);
  Write(Ramp(4), 0, 1);
  Write({}, 0, 9);
  Write(Bytes("next"), 0, 0);  // after the end, a header is due again
  EXPECT_EQ(Closed(), Line(0, 0, {}) + "\r\n" + Line(1, 0, Ramp(4)) + "\r\n" + Line(9, 0, {}) + "\r\n" +
                          Line(0, 0, Bytes("next")) + "\r\n");
}

TEST_F(SRecordWriter, HeaderOptionalLetsDataComeFirst) {
  file_.SetReadOption(CSRecordFile::kHeaderOptional, 1);
  Write(Ramp(2), 0x20, 2);
  Write({}, 0x20, 8);
  EXPECT_EQ(Closed(), Line(2, 0x20, Ramp(2)) + "\r\n" + Line(8, 0x20, {}) + "\r\n");
}

struct RecordLengthCase {
  std::uint32_t type;
  std::uint8_t recordLength;
  bool refused;
};

TEST_F(SRecordWriter, RecordLengthWithoutRoomForDataIsRefusedBeforeWriting) {
  const RecordLengthCase cases[] = {
      {1, 0, true}, {1, 3, true}, {1, 4, false}, {2, 4, true}, {2, 5, false},
      {3, 5, true}, {3, 6, false}, {3, 255, false},
  };
  Write({}, 0, 0);
  std::string expected = Line(0, 0, {}) + "\r\n";
  for (const auto& c : cases) {
    file_.SetRecordLength(c.recordLength);
    const auto data = Ramp(300);
    if (c.refused) {
      EXPECT_EQ(WriteFails(data, 0x100, c.type), SREC_WRITE_ERROR) << c.type << "/" << int{c.recordLength};
      continue;
    }
    EXPECT_EQ(Write(data, 0x100, c.type), 300u);
    const std::uint32_t room = c.recordLength - (c.type + 1) - 1;
    for (std::uint32_t at = 0; at < 300; at += room) {
      const auto end = std::min<std::uint32_t>(at + room, 300);
      expected += Line(static_cast<int>(c.type), 0x100 + at,
                       std::vector<std::uint8_t>(data.begin() + at, data.begin() + end)) + "\r\n";
    }
  }
  EXPECT_EQ(Closed(), expected);
}

TEST_F(SRecordWriter, HeaderWithRecordLengthZeroIsRefused) {
  file_.SetRecordLength(0);
  EXPECT_EQ(WriteFails(Bytes("Quillon"), 0, 0), SREC_WRITE_ERROR);
}

struct AddressFitCase {
  std::uint32_t type;
  std::uint32_t address;
  std::uint32_t length;
  bool refused;
};

TEST_F(SRecordWriter, AddressesBeyondTheFieldAreRefused) {
  const AddressFitCase cases[] = {
      {1, 0xFFF0, 16, false},     {1, 0xFFF0, 17, true},       {1, 0x10000, 0, true},
      {2, 0xFFFFF0, 16, false},   {2, 0xFFFFF1, 16, true},     {2, 0x1000000, 1, true},
      {3, 0xFFFFFFF0, 16, false}, {3, 0xFFFFFFF0, 17, true},   {9, 0xFFFF, 0, false},
      {9, 0x10000, 0, true},      {8, 0xFFFFFF, 0, false},     {8, 0x1000000, 0, true},
      {7, 0xFFFFFFFF, 0, false},
  };
  for (const auto& c : cases) {
    CSRecordFile file;
    file.OpenSRecordFile(dir_.File("fit.s19"), CSRecordFile::kModeWrite);
    std::uint32_t written = 0;
    file.WriteSRecordBlock(nullptr, 0, 0, 0, written);
    const auto data = Ramp(c.length);
    int error = 0;
    try {
      file.WriteSRecordBlock(data.data(), c.length, c.address, c.type, written);
    } catch (SREC_EXCEPTION e) {
      error = e;
    }
    EXPECT_EQ(error, c.refused ? SREC_ILLEGAL_RECORD_TYPE : 0) << c.type << "@" << std::hex << c.address;
    if (c.refused) {
      EXPECT_EQ(file.GetLineCount(), 1u) << "nothing written for a refused block";
    }
  }
}

TEST_F(SRecordWriter, NothingAppearsUnderTheNameUntilTheClose) {
  images_test::WriteFile(Path(), "old contents");
  Write(Bytes("Quillon"), 0, 0);
  Write(Ramp(100), 0, 3);
  EXPECT_EQ(images_test::ReadFile(Path()), "old contents");
  file_.CloseSRecordFile();
  EXPECT_EQ(images_test::ReadFile(Path()).substr(0, 4), "S008");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"out.s19"});
}

TEST(SRecordWriterAbandoned, WriterDestroyedWithoutCloseLeavesTheTargetAsItWas) {
  TempDir dir;
  images_test::WriteFile(dir.File("keep.s19"), "old contents");
  {
    CSRecordFile file;
    file.OpenSRecordFile(dir.File("keep.s19"), CSRecordFile::kModeWrite);
    std::uint32_t written;
    const auto data = Ramp(3 << 20);  // more than one chunk reaches the disk
    file.WriteSRecordBlock(data.data(), 0, 0, 0, written);
    file.WriteSRecordBlock(data.data(), static_cast<std::uint32_t>(data.size()), 0, 3, written);
  }
  EXPECT_EQ(images_test::ReadFile(dir.File("keep.s19")), "old contents");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.s19"});
  {
    CSRecordFile file;
    file.OpenSRecordFile(dir.File("new.s19"), CSRecordFile::kModeWrite);
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.s19"});
}

TEST(SRecordWriterReadOnly, ReadOnlyTargetCannotBeCreated) {
  TempDir dir;
  const std::string path = dir.File("ro.s19");
  images_test::WriteFile(path, "mine");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  CSRecordFile file;
  try {
    file.OpenSRecordFile(path, CSRecordFile::kModeWrite);
    FAIL();
  } catch (SREC_EXCEPTION e) {
    EXPECT_EQ(e, SREC_CREATE_ERROR);
  }
  EXPECT_EQ(images_test::ReadFile(path), "mine");
}

// Random blocks of every data type, written with random record lengths and
// read back with random buffer sizes: the bytes at every address survive.
TEST(SRecordRoundTrip, RandomBlocksReadBackUnchanged) {
  TempDir dir;
  const std::uint32_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  for (int round = 0; round < 20; ++round) {
    const std::uint32_t type = 1 + random() % 3;
    const std::uint8_t recordLength = static_cast<std::uint8_t>(AddressBytes(type) + 2 + random() % 240);
    std::map<std::uint32_t, std::uint8_t> image;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> blocks;
    std::uint32_t next = random() % 4096;
    for (int b = 0, count = 1 + static_cast<int>(random() % 8); b < count; ++b) {
      std::vector<std::uint8_t> data(random() % 3000);
      for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
      for (std::size_t i = 0; i < data.size(); ++i) image[next + static_cast<std::uint32_t>(i)] = data[i];
      blocks.emplace_back(next, data);
      next += static_cast<std::uint32_t>(data.size()) + 1 + random() % 64;
    }
    const std::string path = dir.File("round.s19");
    {
      CSRecordFile writer;
      writer.OpenSRecordFile(path, CSRecordFile::kModeWrite);
      writer.SetRecordLength(recordLength);
      std::uint32_t written;
      const auto header = Bytes("Quillon");
      writer.WriteSRecordBlock(header.data(), 7, 0, 0, written);
      for (const auto& [address, data] : blocks) {
        writer.WriteSRecordBlock(data.data(), static_cast<std::uint32_t>(data.size()), address, type, written);
        ASSERT_EQ(written, data.size());
      }
      writer.WriteSRecordBlock(nullptr, 0, 0x1234, 10 - type, written);
      writer.CloseSRecordFile();
    }
    CSRecordFile reader;
    reader.OpenSRecordFile(path, CSRecordFile::kModeRead);
    std::vector<std::uint8_t> buffer(8 + random() % 5000);
    std::map<std::uint32_t, std::uint8_t> readBack;
    std::uint32_t address = 0, gotType = 0, length = 0;
    reader.ReadSRecordBlock(buffer.data(), static_cast<std::uint32_t>(buffer.size()), address, gotType, length);
    ASSERT_EQ(gotType, 0u);
    // The header is cut to one record of the record length.
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + length), std::string("Quillon").substr(0, recordLength - 1u));
    for (int calls = 0; calls < 100000; ++calls) {
      reader.ReadSRecordBlock(buffer.data(), static_cast<std::uint32_t>(buffer.size()), address, gotType, length);
      if (gotType >= 7) break;
      ASSERT_EQ(gotType, type);
      for (std::uint32_t i = 0; i < length; ++i) {
        ASSERT_TRUE(readBack.emplace(address + i, buffer[i]).second) << "address read twice";
      }
    }
    EXPECT_EQ(gotType, 10 - type);
    EXPECT_EQ(address, 0x1234u);
    EXPECT_EQ(readBack, image) << "round " << round;
  }
}

}  // namespace
