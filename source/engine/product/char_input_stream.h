#pragma once
// A product file held whole in memory, handed out one character at a time
// with line and column counting and one-character push-back.
//
// Every line end (byte 10) and every NUL byte of the file ends a line; both
// read as 10. Lines and columns count from 1: the column is that of the last
// character handed out, and a line end takes a column of its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CharInputStream {
 public:
  static constexpr int kEndOfText = -1;
  static constexpr int kLineEnd = 10;

  // Reads the file whole. Throws QUILLON_EXCEPTION when it cannot be opened.
  explicit CharInputStream(const std::string& fileName);
  virtual ~CharInputStream() = default;
  CharInputStream(const CharInputStream&) = delete;
  CharInputStream& operator=(const CharInputStream&) = delete;

  // The next character, 10 for a line end, -1 at the end of the text and
  // for every call after it.
  int GetChar();
  // Steps back over the last character handed out. Does nothing at the start
  // of the text or once the end of the text has been reached.
  void UngetChar();
  // The text of a line (from 1) without its line end; empty for a line that
  // does not exist.
  std::string_view GetLineText(int line) const;

  int Line() const { return line_; }
  int Column() const { return column_; }

 private:
  struct LineEntry {
    std::size_t start = 0;   // index of the line's first byte in the text
    int length = 0;          // characters plus one: the column of its line end
  };

  void BuildLineTable();
  bool IsLineTerminator(std::size_t index) const { return text_[index] == '\0'; }

  std::string text_;            // the file's bytes, line ends replaced by NUL, plus one
  std::size_t size_ = 0;        // readable bytes: the file length
  std::size_t position_ = 0;    // next byte to hand out
  int line_ = 0;
  int column_ = 0;
  bool atLineStart_ = true;
  bool atEnd_ = false;
  std::vector<LineEntry> lines_;  // index 0 unused; lines from 1
};
