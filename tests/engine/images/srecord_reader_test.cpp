// The S-record reader: blocks, headers, end records, line ends and every
// way a malformed file fails.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/images/srecord_file.h"
#include "image_test_support.h"

namespace {

using images_test::Bytes;
using images_test::Line;
using images_test::Ramp;
using images_test::TempDir;

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

// Reads a file to its end record (or its first failure) and describes each
// call: "H:text" for a header, "D<type>@<address>+<length>" for a block,
// "E<type>@<address>" for the end, "X<code>" for a failure.
std::string Trace(CSRecordFile& file, std::uint32_t bufferSize, int maxCalls = 64) {
  std::vector<std::uint8_t> buffer(bufferSize);
  std::string trace;
  for (int call = 0; call < maxCalls; ++call) {
    std::uint32_t address = 0, type = 0, length = 0;
    if (!trace.empty()) trace += ' ';
    try {
      file.ReadSRecordBlock(buffer.data(), bufferSize, address, type, length);
    } catch (SREC_EXCEPTION e) {
      return trace + "X" + std::to_string(e);
    }
    if (type == 0) {
      trace += "H:" + std::string(buffer.begin(), buffer.begin() + length);
    } else if (type >= 7) {
      trace += "E" + std::to_string(type) + "@" + Hex(address);
      if (length != 0) trace += "+" + std::to_string(length);
      return trace;
    } else {
      trace += "D" + std::to_string(type) + "@" + Hex(address) + "+" + std::to_string(length);
    }
  }
  return trace + "...";
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

struct ReadCase {
  const char* name;
  std::vector<std::string> lines;
  int ignoreChecksum;
  int headerOptional;
  std::uint32_t bufferSize;
  std::string expected;
};

const std::string kHeader = Line(0, 0, Bytes("HDR"));
const std::string kEnd9 = "S9030000FC";

const ReadCase kReadCases[] = {
    {"HeaderThenEnd", {kHeader, kEnd9}, 0, 0, 256, "H:HDR E9@0"},
    {"EndAddressOfS7", {kHeader, Line(7, 0x80001234, {})}, 0, 0, 256, "H:HDR E7@80001234"},
    {"EndAddressOfS8", {kHeader, Line(8, 0x123456, {})}, 0, 0, 256, "H:HDR E8@123456"},
    {"ConsecutiveRecordsFormOneBlock",
     {kHeader, Line(1, 0x1000, Ramp(16)), Line(1, 0x1010, Ramp(16)), Line(1, 0x1030, Ramp(16)), kEnd9},
     0, 0, 256, "H:HDR D1@1000+32 D1@1030+16 E9@0"},
    {"TypeChangeEndsBlock",
     {kHeader, Line(1, 0x1000, Ramp(16)), Line(2, 0x1010, Ramp(16)), kEnd9},
     0, 0, 256, "H:HDR D1@1000+16 D2@1010+16 E9@0"},
    {"BlockLargerThanBufferComesInPieces",
     {kHeader, Line(3, 0x2000, Ramp(16)), Line(3, 0x2010, Ramp(16)), Line(7, 0, {})},
     0, 0, 12, "H:HDR D3@2000+12 D3@200C+12 D3@2018+8 E7@0"},
    {"BufferFilledExactlyByRecords",
     {kHeader, Line(3, 0x2000, Ramp(8)), Line(3, 0x2008, Ramp(8)), Line(3, 0x2010, Ramp(8)), Line(7, 0, {})},
     0, 0, 16, "H:HDR D3@2000+16 D3@2010+8 E7@0"},
    {"WrongChecksumFails", {kHeader, Line(1, 0x1000, Ramp(4), 1), kEnd9}, 0, 0, 256, "H:HDR X211"},
    {"WrongChecksumIgnoredOnRequest", {kHeader, Line(1, 0x1000, Ramp(4), 1), kEnd9}, 1, 0, 256,
     "H:HDR D1@1000+4 E9@0"},
    {"MissingHeaderFails", {Line(1, 0x1000, Ramp(4)), kEnd9}, 0, 0, 256, "X209"},
    {"MissingHeaderAllowedWhenOptional", {Line(1, 0x1000, Ramp(4)), kEnd9}, 0, 1, 256,
     "D1@1000+4 E9@0"},
    {"HeaderLaterInFileFails", {kHeader, Line(1, 0x1000, Ramp(4)), kHeader, kEnd9}, 0, 0, 256,
     "H:HDR X208"},
    // A block collected before a later header or an end record is handed
    // out; the header or the end follows at the next call.
    {"LaterHeaderEndsBlockWhenOptional",
     {kHeader, Line(3, 0x10, Ramp(4)), Line(0, 0, Bytes("TWO")), Line(3, 0x14, Ramp(4)), Line(7, 0, {})},
     0, 1, 256, "H:HDR D3@10+4 H:TWO D3@14+4 E7@0"},
    {"BlockBeforeEndRecordIsKept", {kHeader, Line(2, 0x30000, Ramp(40)), Line(8, 0x30000, {})}, 0, 0,
     256, "H:HDR D2@30000+40 E8@30000"},
    {"EmptyLinesAreSkipped", {kHeader, "", Line(1, 0x1000, Ramp(4)), "\r", kEnd9}, 0, 0, 256,
     "H:HDR D1@1000+4 E9@0"},
    {"LowerCaseDigits", {kHeader, Lower(Line(1, 0x1000, {0xDE, 0xAD, 0xBE, 0xEF})), kEnd9}, 0, 0, 256, "H:HDR D1@1000+4 E9@0"},
    {"AddressesDoNotWrapIntoOneBlock",
     {kHeader, Line(3, 0xFFFFFFF0, Ramp(16)), Line(3, 0, Ramp(16)), Line(7, 0, {})}, 0, 0, 256,
     "H:HDR D3@FFFFFFF0+16 D3@0+16 E7@0"},
    {"EndOfFileWithoutEndRecord", {kHeader, Line(1, 0x1000, Ramp(4))}, 0, 0, 256, "H:HDR X206"},
    {"EmptyFile", {}, 0, 0, 256, "X206"},
    {"HeaderLargerThanBuffer", {kHeader, kEnd9}, 0, 0, 2, "X214"},
    {"LineWithoutS", {kHeader, "X1071000DEADBEEFA4"}, 0, 0, 256, "H:HDR X207"},
    {"LeadingBlank", {kHeader, " S1071000DEADBEEFA4"}, 0, 0, 256, "H:HDR X207"},
    {"TypeS5NotSupported", {kHeader, "S5030001FB"}, 0, 0, 256, "H:HDR X210"},
    {"TypeS4NotSupported", {kHeader, "S4030001FB"}, 0, 0, 256, "H:HDR X210"},
    {"TypeLetterNotSupported", {kHeader, "SX030001FB"}, 0, 0, 256, "H:HDR X210"},
    {"NonHexDigitInData", {kHeader, "S1071000DEADBEGFA4"}, 1, 0, 256, "H:HDR X207"},
    {"NonHexDigitInS2Address", {kHeader, "S20612G456000000"}, 1, 0, 256, "H:HDR X207"},
    {"NonHexDigitInChecksum", {kHeader, "S1071000DEADBEEFZ4"}, 1, 0, 256, "H:HDR X207"},
    // A line shorter than its fields fails, even right after a longer line
    // whose characters a careless parser would take up.
    {"ShortLineAfterLongLine", {kHeader, Line(1, 0x1000, Ramp(32)), "S123101000010203"}, 1, 0, 256,
     "H:HDR X207"},
    {"ShortS3Line", {kHeader, "S30500001000"}, 1, 0, 256, "H:HDR X207"},
    {"CountOnly", {kHeader, "S1"}, 1, 0, 256, "H:HDR X207"},
    {"S0WithLeadingZeroBytesKeepsThem", {Line(0, 0, {0, 0, 'A', 'B'}), kEnd9}, 0, 0, 256,
     std::string("H:\0\0AB E9@0", 11)},
};

class SRecordReadTable : public ::testing::TestWithParam<ReadCase> {};

std::string Join(const std::vector<std::string>& lines, const char* end) {
  std::string text;
  for (const auto& line : lines) text += line + end;
  return text;
}

TEST_P(SRecordReadTable, ReadsAsExpectedWithLfAndCrLf) {
  const ReadCase& c = GetParam();
  TempDir dir;
  for (const char* end : {"\n", "\r\n"}) {
    const std::string path = dir.File("image.s19");
    images_test::WriteFile(path, Join(c.lines, end));
    CSRecordFile file;
    file.OpenSRecordFile(path, CSRecordFile::kModeRead);
    file.SetReadOption(CSRecordFile::kIgnoreChecksum, c.ignoreChecksum);
    file.SetReadOption(CSRecordFile::kHeaderOptional, c.headerOptional);
    EXPECT_EQ(Trace(file, c.bufferSize), c.expected)
        << "line end " << (end[0] == '\r' ? "CR LF" : "LF");
    file.CloseSRecordFile();
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SRecordReadTable, ::testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

class SRecordReader : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) {
    const std::string path = dir_.File("image.s19");
    images_test::WriteFile(path, text);
    return path;
  }
  TempDir dir_;
};

TEST_F(SRecordReader, BlockDataIsTheRecordsBytesInOrder) {
  const auto first = Ramp(16, 0x10), second = Ramp(16, 0x80);
  CSRecordFile file;
  file.OpenSRecordFile(Write(kHeader + "\n" + Line(1, 0x1000, first) + "\n" + Line(1, 0x1010, second) +
                             "\n" + kEnd9 + "\n"),
                       CSRecordFile::kModeRead);
  std::uint8_t buffer[64];
  std::uint32_t address, type, length;
  file.ReadSRecordBlock(buffer, sizeof buffer, address, type, length);
  file.ReadSRecordBlock(buffer, sizeof buffer, address, type, length);
  ASSERT_EQ(length, 32u);
  std::vector<std::uint8_t> expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + length), expected);
}

TEST_F(SRecordReader, ZeroSizeBufferLooksAtTheDueRecordWithoutTakingIt) {
  CSRecordFile file;
  file.OpenSRecordFile(Write(kHeader + "\n" + Line(3, 0x4000, Ramp(10)) + "\n" + Line(7, 0x4000, {}) + "\n"),
                       CSRecordFile::kModeRead);
  std::uint8_t buffer[64];
  std::uint32_t address = 1, type = 1, length = 1;

  file.ReadSRecordBlock(buffer, 0, address, type, length);
  EXPECT_EQ(type, 0u);
  EXPECT_EQ(address, 0u);
  EXPECT_EQ(length, 0u);
  file.ReadSRecordBlock(buffer, 0, address, type, length);  // still the header
  EXPECT_EQ(type, 0u);
  file.ReadSRecordBlock(buffer, sizeof buffer, address, type, length);
  EXPECT_EQ(type, 0u);
  EXPECT_EQ(std::string(buffer, buffer + length), "HDR");

  file.ReadSRecordBlock(nullptr, 0, address, type, length);  // a look needs no buffer
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(address, 0x4000u);
  EXPECT_EQ(length, 0u);
  file.ReadSRecordBlock(buffer, sizeof buffer, address, type, length);
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(address, 0x4000u);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + length), Ramp(10));

  file.ReadSRecordBlock(buffer, 0, address, type, length);
  EXPECT_EQ(type, 7u);
  EXPECT_EQ(address, 0x4000u);
}

TEST_F(SRecordReader, CountsEveryLineAndReturnsTheCharactersRead) {
  CSRecordFile file;
  file.OpenSRecordFile(Write(kHeader + "\r\n\n\r\n" + Line(1, 0x1000, Ramp(4)) + "\r\n" + kEnd9 + "\r\n"),
                       CSRecordFile::kModeRead);
  std::uint8_t buffer[64];
  std::uint32_t address, type, length;
  EXPECT_EQ(file.ReadSRecordBlock(buffer, sizeof buffer, address, type, length), kHeader.size() + 2);
  EXPECT_EQ(file.GetLineCount(), 1u);
  // Two empty lines, the data line and the end line.
  EXPECT_EQ(file.ReadSRecordBlock(buffer, sizeof buffer, address, type, length),
            1 + 2 + Line(1, 0x1000, Ramp(4)).size() + 2 + kEnd9.size() + 2);
  EXPECT_EQ(type, 1u);
  EXPECT_EQ(file.GetLineCount(), 5u);
  file.ReadSRecordBlock(buffer, sizeof buffer, address, type, length);
  EXPECT_EQ(type, 9u);
  EXPECT_EQ(file.GetLineCount(), 5u);
}

TEST_F(SRecordReader, LineCountNamesTheFailingLine) {
  CSRecordFile file;
  file.OpenSRecordFile(Write(kHeader + "\n" + Line(1, 0, Ramp(4)) + "\n\n" + Line(1, 4, Ramp(4), 3) + "\n"),
                       CSRecordFile::kModeRead);
  EXPECT_EQ(Trace(file, 64), "H:HDR X211");
  EXPECT_EQ(file.GetLineCount(), 4u);
}

TEST_F(SRecordReader, LastLineWithoutLineEndIsRead) {
  CSRecordFile file;
  file.OpenSRecordFile(Write(kHeader + "\n" + Line(3, 0, Ramp(2)) + "\n" + Line(7, 0, {})), CSRecordFile::kModeRead);
  EXPECT_EQ(Trace(file, 64), "H:HDR D3@0+2 E7@0");
}

TEST_F(SRecordReader, VeryLongLineIsReadByItsFields) {
  // Trailing characters after the checksum do not count; a line far longer
  // than any record must not upset the reader.
  CSRecordFile file;
  file.OpenSRecordFile(Write(kHeader + "\n" + Line(1, 0x100, Ramp(4)) + std::string(600000, ' ') + "\n" + kEnd9 + "\n"),
                       CSRecordFile::kModeRead);
  EXPECT_EQ(Trace(file, 64), "H:HDR D1@100+4 E9@0");
}

TEST_F(SRecordReader, AfterTheEndRecordTheNextHeaderIsDue) {
  CSRecordFile file;
  file.OpenSRecordFile(Write(kHeader + "\n" + kEnd9 + "\n" + Line(0, 0, Bytes("B")) + "\n" + kEnd9 + "\n"),
                       CSRecordFile::kModeRead);
  EXPECT_EQ(Trace(file, 64), "H:HDR E9@0");
  EXPECT_EQ(Trace(file, 64), "H:B E9@0");
}

TEST(SRecordFileOpen, FailuresOfOpenAndMisuse) {
  TempDir dir;
  CSRecordFile file;
  try {
    file.OpenSRecordFile(dir.File("x.s19"), 2);
    FAIL();
  } catch (SREC_EXCEPTION e) {
    EXPECT_EQ(e, SREC_MODE_NOT_SUPPORTED);
  }
  try {
    file.OpenSRecordFile(dir.File("missing.s19"), CSRecordFile::kModeRead);
    FAIL();
  } catch (SREC_EXCEPTION e) {
    EXPECT_EQ(e, SREC_OPEN_ERROR);
  }
  try {
    file.OpenSRecordFile(dir.File("no/such/folder/x.s19"), CSRecordFile::kModeWrite);
    FAIL();
  } catch (SREC_EXCEPTION e) {
    EXPECT_EQ(e, SREC_CREATE_ERROR);
  }
  std::uint8_t buffer[4];
  std::uint32_t address, type, length;
  EXPECT_THROW(file.ReadSRecordBlock(buffer, 4, address, type, length), SREC_EXCEPTION);
  // A reader never writes, a writer never reads.
  images_test::WriteFile(dir.File("a.s19"), kHeader + "\n");
  file.OpenSRecordFile(dir.File("a.s19"), CSRecordFile::kModeRead);
  std::uint32_t written;
  try {
    file.WriteSRecordBlock(buffer, 4, 0, 0, written);
    FAIL();
  } catch (SREC_EXCEPTION e) {
    EXPECT_EQ(e, SREC_WRITE_STATE_ERROR);
  }
  file.OpenSRecordFile(dir.File("b.s19"), CSRecordFile::kModeWrite);
  try {
    file.ReadSRecordBlock(buffer, 4, address, type, length);
    FAIL();
  } catch (SREC_EXCEPTION e) {
    EXPECT_EQ(e, SREC_READ_STATE_ERROR);
  }
}

TEST(SRecordFileOpen, OpenResetsOptionsAndCounts) {
  TempDir dir;
  images_test::WriteFile(dir.File("a.s19"), Line(1, 0, Ramp(2)) + "\n" + kEnd9 + "\n");
  CSRecordFile file;
  file.OpenSRecordFile(dir.File("a.s19"), CSRecordFile::kModeRead);
  file.SetReadOption(CSRecordFile::kHeaderOptional, 1);
  file.SetRecordLength(40);
  EXPECT_EQ(Trace(file, 16), "D1@0+2 E9@0");
  file.OpenSRecordFile(dir.File("a.s19"), CSRecordFile::kModeRead);
  EXPECT_EQ(file.GetLineCount(), 0u);
  EXPECT_EQ(file.GetRecordLength(), 26);
  EXPECT_EQ(Trace(file, 16), "X209");
}

TEST(SRecordErrorText, EveryCodeHasItsText) {
  const std::pair<int, const char*> texts[] = {
      {200, "File mode not supported"},   {201, "Error creating file"},
      {202, "Error opening file"},        {203, "Error closing file"},
      {204, "Error reading file"},        {205, "Error writing file"},
      {206, "End of file encountered"},   {207, "Illegal character found"},
      {208, "Illegal record type found"}, {209, "Header record missing"},
      {210, "Record type not supported"}, {211, "Invalid checksum detected"},
      {212, "Read state machine error"},  {213, "Write state machine error"},
      {214, "Insufficient buffer size"},  {199, "Undefined S-record exception"},
      {215, "Undefined S-record exception"}, {-1, "Undefined S-record exception"},
  };
  for (const auto& [value, text] : texts) {
    EXPECT_STREQ(SRecordErrorText(value), text) << value;
    EXPECT_EQ(IsSRecordError(value), value >= SREC_MODE_NOT_SUPPORTED && value <= SREC_BUFFER_TOO_SMALL) << value;
  }
}

}  // namespace
