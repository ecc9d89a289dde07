#include "engine/images/text_line_reader.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kBufferSize = 1 << 18;
}

CTextLineReader::CTextLineReader() = default;

CTextLineReader::~CTextLineReader() { Close(); }

bool CTextLineReader::Open(const std::string& fileName) {
  Close();
  file_ = std::fopen(fileName.c_str(), "r");
  if (file_ == nullptr) return false;
  buffer_.resize(kBufferSize);
  begin_ = end_ = 0;
  readError_ = false;
  return true;
}

bool CTextLineReader::Close() {
  if (file_ == nullptr) return true;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  begin_ = end_ = 0;
  return ok;
}

bool CTextLineReader::Refill() {
  if (file_ == nullptr || readError_) return false;
  begin_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  if (end_ == 0 && std::ferror(file_)) readError_ = true;
  return end_ > 0;
}

CTextLineReader::Result CTextLineReader::ReadLine(std::string_view& line,
                                                  std::size_t& charactersRead) {
  charactersRead = 0;
  if (begin_ == end_ && !Refill()) return readError_ ? Result::ReadError : Result::EndOfFile;

  // The usual case: the whole line lies in the buffer.
  const char* start = buffer_.data() + begin_;
  std::size_t available = end_ - begin_;
  const void* feed = std::memchr(start, '\n', available);
  if (feed != nullptr) {
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
    begin_ += length + 1;
    charactersRead = length + 1;
    line = std::string_view(start, length);
  } else {
    // The line goes on behind the buffer: gather it.
    spanningLine_.clear();
    bool ended = false;
    for (;;) {
      start = buffer_.data() + begin_;
      available = end_ - begin_;
      feed = std::memchr(start, '\n', available);
      const std::size_t length =
          feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - start) : available;
      const std::size_t room = kKeptLineLength - std::min(kKeptLineLength, spanningLine_.size());
      spanningLine_.append(start, std::min(length, room));
      charactersRead += length;
      begin_ += length;
      if (feed != nullptr) {
        ++begin_;
        ++charactersRead;
        ended = true;
        break;
      }
      if (!Refill()) break;
    }
    if (!ended && readError_) return Result::ReadError;
    line = spanningLine_;
  }
  if (line.size() > kKeptLineLength) line = line.substr(0, kKeptLineLength);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return Result::Line;
}
