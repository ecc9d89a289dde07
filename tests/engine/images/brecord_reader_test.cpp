// The B-record reader: the optional header, data and end records, the
// checksum, the look-ahead with buffer size 0 and every failure.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/images/brecord_file.h"
#include "image_test_support.h"

namespace {

using images_test::Ramp;
using images_test::TempDir;

void Put32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Record(std::uint32_t address, const std::vector<std::uint8_t>& data, int checksumDelta = 0) {
  std::uint32_t sum = 0;
  for (auto b : data) sum += b;
  std::string out;
  Put32(out, address);
  Put32(out, static_cast<std::uint32_t>(data.size()));
  Put32(out, sum + static_cast<std::uint32_t>(checksumDelta));
  out.append(data.begin(), data.end());
  return out;
}

// An end record: address 0, a length and a checksum, and no data after them.
std::string EndRecord(std::uint32_t length = 0) {
  std::string out;
  Put32(out, 0);
  Put32(out, length);
  Put32(out, 0);
  return out;
}

std::string Values(std::uint32_t start, std::uint32_t second) {
  std::string out;
  Put32(out, start);
  Put32(out, second);
  return out;
}

class BRecordReader : public ::testing::Test {
 protected:
  std::uint32_t Open(const std::string& contents) {
    images_test::WriteFile(dir_.File("image.b"), contents);
    std::uint32_t start = 0;
    file_.OpenBRecordFile(dir_.File("image.b"), 0, start);
    return start;
  }
  struct Result {
    std::uint32_t returned, address, length;
    int end;
    std::vector<std::uint8_t> data;
  };
  Result Read(std::uint32_t bufferSize) {
    Result r{0, 0xEEEE, 0xEEEE, -1, {}};
    std::vector<std::uint8_t> buffer(bufferSize);
    r.returned = file_.ReadBRecordBlock(buffer.data(), bufferSize, r.address, r.end, r.length);
    r.data.assign(buffer.begin(), buffer.begin() + std::min(r.returned, bufferSize));
    return r;
  }
  int ReadFails(std::uint32_t bufferSize) {
    try {
      Read(bufferSize);
    } catch (BREC_EXCEPTION e) {
      return e;
    }
    return -1;
  }

  TempDir dir_;
  CBRecordFile file_;
};

TEST_F(BRecordReader, WithHeaderTheValuesFollowIt) {
  EXPECT_EQ(Open("B000FF\n" + Values(0x12345678, 0x9ABCDEF0) + Record(0x1000, Ramp(5)) + EndRecord()),
            0x12345678u);
  const auto r = Read(64);
  EXPECT_EQ(r.returned, 5u);
  EXPECT_EQ(r.address, 0x1000u);
  EXPECT_EQ(r.length, 5u);
  EXPECT_EQ(r.end, 0);
  EXPECT_EQ(r.data, Ramp(5));
  const auto end = Read(64);
  EXPECT_EQ(end.end, 1);
  EXPECT_EQ(end.returned, 0u);
}

TEST_F(BRecordReader, WithoutHeaderTheFirstEightBytesAreTheValues) {
  EXPECT_EQ(Open(Values(0xA1B2C3D4, 7) + Record(0x20, Ramp(3, 9)) + EndRecord()), 0xA1B2C3D4u);
  const auto r = Read(64);
  EXPECT_EQ(r.address, 0x20u);
  EXPECT_EQ(r.data, Ramp(3, 9));
}

TEST_F(BRecordReader, FirstRecordAtZeroIsDataALaterOneEndsTheImage) {
  Open(Values(0, 0) + Record(0, Ramp(4)) + Record(4, Ramp(4)) + EndRecord(4) + Record(0, Ramp(2)));
  EXPECT_EQ(Read(16).end, 0);  // first: data at 0
  EXPECT_EQ(Read(16).end, 0);
  const auto end = Read(16);
  EXPECT_EQ(end.end, 1);
  EXPECT_EQ(end.length, 4u);
  // After an end record the next record is a first record again.
  const auto again = Read(16);
  EXPECT_EQ(again.end, 0);
  EXPECT_EQ(again.data, Ramp(2));
}

TEST_F(BRecordReader, ChecksumIsTheSumOfTheDataBytesModulo2To32) {
  const std::vector<std::uint8_t> ff(300, 0xFF);
  Open(Values(0, 0) + Record(0x10, ff) + Record(0x200, Ramp(8), 1));
  EXPECT_EQ(Read(400).returned, 300u);
  EXPECT_EQ(ReadFails(400), BREC_INVALID_CHECKSUM);
}

TEST_F(BRecordReader, ZeroSizeLookThenReadReturnsTheSameRecord) {
  Open(Values(0, 0) + Record(0x3000, Ramp(6)) + EndRecord());
  const auto look = Read(0);
  EXPECT_EQ(look.returned, 0u);
  EXPECT_EQ(look.address, 0x3000u);
  EXPECT_EQ(look.length, 6u);
  const auto r = Read(look.length);
  EXPECT_EQ(r.address, 0x3000u);
  EXPECT_EQ(r.data, Ramp(6));
}

TEST_F(BRecordReader, TooSmallBufferLeavesTheRecordForARetry) {
  Open(Values(0, 0) + Record(0, Ramp(10)) + EndRecord());
  EXPECT_EQ(ReadFails(4), BREC_BUFFER_TOO_SMALL);
  EXPECT_EQ(ReadFails(9), BREC_BUFFER_TOO_SMALL);
  // The same record, still the first one: address 0 is data, not the end.
  const auto r = Read(10);
  EXPECT_EQ(r.end, 0);
  EXPECT_EQ(r.address, 0u);
  EXPECT_EQ(r.data, Ramp(10));
  EXPECT_EQ(Read(10).end, 1);
}

TEST_F(BRecordReader, EmptyDataRecordIsAccepted) {
  Open(Values(0, 0) + Record(0x40, {}) + EndRecord());
  const auto r = Read(8);
  EXPECT_EQ(r.returned, 0u);
  EXPECT_EQ(r.end, 0);
  EXPECT_EQ(r.address, 0x40u);
  EXPECT_EQ(Read(8).end, 1);
}

struct TruncatedCase {
  const char* name;
  std::size_t keep;  // bytes of the full file that remain
};

TEST_F(BRecordReader, FileEndingInsideARecordFailsWithEndOfFile) {
  const std::string full = Values(0, 0) + Record(0x10, Ramp(20));
  for (const TruncatedCase c : {TruncatedCase{"in the address", 10}, TruncatedCase{"in the checksum", 18},
                                TruncatedCase{"in the data", 25}, TruncatedCase{"at a record boundary", full.size()}}) {
    CBRecordFile file;
    images_test::WriteFile(dir_.File("cut.b"), full.substr(0, c.keep));
    std::uint32_t start;
    file.OpenBRecordFile(dir_.File("cut.b"), 0, start);
    std::vector<std::uint8_t> buffer(64);
    std::uint32_t address, length;
    int end;
    int error = -1;
    try {
      for (int i = 0; i < 3; ++i) file.ReadBRecordBlock(buffer.data(), 64, address, end, length);
    } catch (BREC_EXCEPTION e) {
      error = e;
    }
    EXPECT_EQ(error, BREC_END_OF_FILE) << c.name;
  }
}

TEST_F(BRecordReader, OpenFailures) {
  std::uint32_t start;
  CBRecordFile file;
  try {
    file.OpenBRecordFile(dir_.File("x"), 1, start);
    FAIL();
  } catch (BREC_EXCEPTION e) {
    EXPECT_EQ(e, BREC_MODE_NOT_SUPPORTED);
  }
  try {
    file.OpenBRecordFile(dir_.File("missing"), 0, start);
    FAIL();
  } catch (BREC_EXCEPTION e) {
    EXPECT_EQ(e, BREC_OPEN_ERROR);
  }
  for (const std::string& shortFile : {std::string("B000F"), std::string("B000FF\n1234567")}) {
    images_test::WriteFile(dir_.File("short"), shortFile);
    try {
      file.OpenBRecordFile(dir_.File("short"), 0, start);
      FAIL();
    } catch (BREC_EXCEPTION e) {
      EXPECT_EQ(e, BREC_END_OF_FILE);
    }
  }
  // A folder opens but cannot be read.
  try {
    file.OpenBRecordFile(dir_.Path().string(), 0, start);
    FAIL();
  } catch (BREC_EXCEPTION e) {
    EXPECT_TRUE(e == BREC_READ_ERROR || e == BREC_OPEN_ERROR) << e;
  }
}

TEST(BRecordErrorText, EveryCodeHasItsText) {
  EXPECT_STREQ(BRecordErrorText(0), "File mode not supported");
  EXPECT_STREQ(BRecordErrorText(1), "Error opening file");
  EXPECT_STREQ(BRecordErrorText(2), "Error closing file");
  EXPECT_STREQ(BRecordErrorText(3), "Error reading file");
  EXPECT_STREQ(BRecordErrorText(4), "End of file encountered");
  EXPECT_STREQ(BRecordErrorText(5), "Invalid checksum detected");
  EXPECT_STREQ(BRecordErrorText(6), "Undefined B-record exception");
  EXPECT_STREQ(BRecordErrorText(7), "Undefined B-record exception");
}

// The buffer-size failure is a failure of the reader though it has no text.
TEST(BRecordErrorText, EveryThrownValueIsAFailureOfTheReader) {
  for (int value = BREC_MODE_NOT_SUPPORTED; value <= BREC_BUFFER_TOO_SMALL; ++value) {
    EXPECT_TRUE(IsBRecordError(value)) << value;
  }
  EXPECT_FALSE(IsBRecordError(-1));
  EXPECT_FALSE(IsBRecordError(BREC_BUFFER_TOO_SMALL + 1));
}

}  // namespace
