#include "engine/product/char_input_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/quillon_exception.h"
#include "temp_file.h"

namespace {

using namespace std::string_literals;

struct Read {
  int c;
  int line;
  int column;
  bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Read& r) {
  return out << "{" << r.c << ", line " << r.line << ", col " << r.column << "}";
}

class CharInputStreamTest : public ::testing::Test {
 protected:
  CharInputStream Open(std::string_view text) { return CharInputStream(folder_.Write("f.qlp", text)); }

  static Read Next(CharInputStream& stream) {
    const int c = stream.GetChar();
    return {c, stream.Line(), stream.Column()};
  }

  TempFolder folder_;
};

TEST_F(CharInputStreamTest, CountsLinesAndColumnsAndReadsLineEndsAs10) {
  CharInputStream stream = Open("ab\n\nc");
  const std::vector<Read> expected = {
      {'a', 1, 1}, {'b', 1, 2}, {10, 1, 3}, {10, 2, 1}, {'c', 3, 1}, {-1, 3, 1}, {-1, 3, 1}};
  for (const Read& want : expected) EXPECT_EQ(Next(stream), want);
}

TEST_F(CharInputStreamTest, NulByteEndsALineAndCarriageReturnIsAColumn) {
  CharInputStream stream = Open("a\0b\r\nc"s);
  const std::vector<Read> expected = {{'a', 1, 1}, {10, 1, 2}, {'b', 2, 1}, {13, 2, 2},
                                      {10, 2, 3},  {'c', 3, 1}, {-1, 3, 1}};
  for (const Read& want : expected) EXPECT_EQ(Next(stream), want);
}

// Reading a character, pushing it back and reading it again must give the
// same character at the same place, and the push-back must restore the
// place reported before the read, at every point of the text: in a line,
// at its end, on empty lines and at the start of the text.
TEST_F(CharInputStreamTest, PushBackRestoresLineAndColumnEverywhere) {
  const std::string text = "ab\n\n\r\nxyz\0q\n"s;
  CharInputStream stream = Open(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Read before{0, stream.Line(), stream.Column()};
    const Read first = Next(stream);
    stream.UngetChar();
    EXPECT_EQ((Read{0, stream.Line(), stream.Column()}), before) << "at byte " << i;
    EXPECT_EQ(Next(stream), first) << "at byte " << i;
  }
  EXPECT_EQ(Next(stream).c, -1);
}

TEST_F(CharInputStreamTest, PushedBackLineEndIsReadAgainOnTheSameLine) {
  CharInputStream stream = Open("abc\nd");
  for (int i = 0; i < 4; ++i) stream.GetChar();  // a b c and the line end
  stream.UngetChar();
  EXPECT_EQ(Next(stream), (Read{10, 1, 4}));
  EXPECT_EQ(Next(stream), (Read{'d', 2, 1}));
}

TEST_F(CharInputStreamTest, PushBackAtTheEndDoesNothing) {
  CharInputStream stream = Open("ab");
  stream.GetChar();
  stream.GetChar();
  EXPECT_EQ(stream.GetChar(), -1);
  stream.UngetChar();
  EXPECT_EQ(stream.Line(), 1);
  EXPECT_EQ(stream.Column(), 2);
  EXPECT_EQ(Next(stream), (Read{-1, 1, 2}));
}

TEST_F(CharInputStreamTest, PushBackAtTheStartDoesNothing) {
  CharInputStream stream = Open("a");
  stream.UngetChar();
  EXPECT_EQ(Next(stream), (Read{'a', 1, 1}));
}

TEST_F(CharInputStreamTest, EmptyFileIsAtItsEndAtOnce) {
  CharInputStream stream = Open("");
  EXPECT_EQ(Next(stream), (Read{-1, 0, 0}));
}

TEST_F(CharInputStreamTest, GivesTheTextOfEachLine) {
  CharInputStream stream = Open("first\r\n\nthird");
  EXPECT_EQ(stream.GetLineText(1), "first\r");
  EXPECT_EQ(stream.GetLineText(2), "");
  EXPECT_EQ(stream.GetLineText(3), "third");
  EXPECT_EQ(stream.GetLineText(0), "");
  EXPECT_EQ(stream.GetLineText(99), "");
}

TEST_F(CharInputStreamTest, MissingFileThrows) {
  EXPECT_THROW(CharInputStream(folder_.PathOf("absent.qlp")), QUILLON_EXCEPTION);
}

}  // namespace

namespace {

TEST(CharInputStreamOpen, AFolderIsNotAReadableFile) {
  TempFolder folder;
  std::filesystem::create_directories(folder.PathOf("dir.qlp"));
  EXPECT_THROW(CharInputStream(folder.PathOf("dir.qlp")), QUILLON_EXCEPTION);
}

}  // namespace
