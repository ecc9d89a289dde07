#pragma once
// Reads a text file line by line through a large buffer. A line ends at a
// line feed; a carriage return before it (or before the end of the file) is
// not part of the line, so LF and CR LF files read alike. Characters beyond
// kKeptLineLength of one line are consumed but not kept: no record field
// lies that far out.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class CTextLineReader {
 public:
  enum class Result { Line, EndOfFile, ReadError };

  static constexpr std::size_t kKeptLineLength = 1024;

  CTextLineReader();
  ~CTextLineReader();
  CTextLineReader(const CTextLineReader&) = delete;
  CTextLineReader& operator=(const CTextLineReader&) = delete;

  bool Open(const std::string& fileName);
  // False when closing failed; the reader is closed either way.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }

  // The next line (valid until the next call) and the number of characters
  // it took from the file, its line end included.
  Result ReadLine(std::string_view& line, std::size_t& charactersRead);

 private:
  bool Refill();

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool readError_ = false;
  std::string spanningLine_;
};
