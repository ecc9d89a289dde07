// Cutting received text into lines, receive by receive: lines split across
// receives, empty lines, NUL bytes, the 64 KiB bound and the clear at close.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/remote/remote_line_buffer.h"

namespace {

struct BufferCase {
  std::vector<std::string> receives;
  std::vector<std::vector<std::string>> linesPerReceive;
  std::string pending;
};

class RemoteLineBufferTable : public ::testing::TestWithParam<BufferCase> {};

TEST_P(RemoteLineBufferTable, CutsLinesAsTheirLineFeedsArrive) {
  RemoteLineBuffer buffer;
  const auto& c = GetParam();
  for (std::size_t i = 0; i < c.receives.size(); ++i) {
    auto result = buffer.Append(c.receives[i]);
    EXPECT_EQ(result.lines, c.linesPerReceive[i]) << "receive " << i;
    EXPECT_FALSE(result.overflowed);
  }
  EXPECT_EQ(buffer.Pending(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Receives, RemoteLineBufferTable,
    ::testing::Values(BufferCase{{"A\nB\n"}, {{"A", "B"}}, ""},
                      BufferCase{{"LIST_", "FILES\nST"}, {{}, {"LIST_FILES"}}, "ST"},
                      BufferCase{{"\n", "\n\n"}, {{""}, {"", ""}}, ""},
                      BufferCase{{"X\r\n"}, {{"X\r"}}, ""},
                      BufferCase{{"", "abc", ""}, {{}, {}, {}}, "abc"}));

TEST(RemoteTextOfBytes, DropsEachNulByteAloneAndKeepsTheRest) {
  const char bytes[] = {'S', 'T', '\0', 'A', '\0', '\0', 'T', 'U', 'S', '\n', '\0'};
  EXPECT_EQ(RemoteTextOfBytes(bytes, sizeof bytes), "STATUS\n");
  EXPECT_EQ(RemoteTextOfBytes(bytes, 0), "");
}

TEST(RemoteLineBuffer, TextBeyondTheBoundIsDroppedUpToTheNextLineFeed) {
  RemoteLineBuffer buffer;
  EXPECT_TRUE(buffer.Append(std::string(RemoteLineBuffer::kCapacity, 'a')).lines.empty());
  auto over = buffer.Append("bb");
  EXPECT_TRUE(over.overflowed);
  EXPECT_EQ(buffer.Pending(), "");
  // The rest of the overlong line goes too; the next line is whole.
  auto after = buffer.Append("still the same line\nSTATUS\nPART");
  EXPECT_FALSE(after.overflowed);
  EXPECT_EQ(after.lines, std::vector<std::string>{"STATUS"});
  EXPECT_EQ(buffer.Pending(), "PART");
}

TEST(RemoteLineBuffer, ExactlyTheBoundIsKept) {
  RemoteLineBuffer buffer;
  auto result = buffer.Append(std::string(RemoteLineBuffer::kCapacity, 'a'));
  EXPECT_FALSE(result.overflowed);
  EXPECT_EQ(buffer.Append("\n").lines, std::vector<std::string>{std::string(RemoteLineBuffer::kCapacity, 'a')});
}

TEST(RemoteLineBuffer, ClearForgetsThePartialLineAndTheDiscard) {
  RemoteLineBuffer buffer;
  buffer.Append("PARTIAL");
  buffer.Clear();
  EXPECT_EQ(buffer.Append("STATUS\n").lines, std::vector<std::string>{"STATUS"});
  buffer.Append(std::string(RemoteLineBuffer::kCapacity + 1, 'a'));
  buffer.Clear();
  EXPECT_EQ(buffer.Append("STATUS\n").lines, std::vector<std::string>{"STATUS"});
}

}  // namespace
