#include "shell/remote/remote_line_buffer.h"

std::string RemoteTextOfBytes(const char* bytes, std::size_t count) {
  std::string text;
  text.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (bytes[i] != '\0') text.push_back(bytes[i]);
  }
  return text;
}

RemoteLineBuffer::Result RemoteLineBuffer::Append(const std::string& text) {
  Result result;
  std::size_t start = 0;
  for (;;) {
    const std::size_t feed = text.find('\n', start);
    if (feed == std::string::npos) break;
    if (discarding_) {
      discarding_ = false;
    } else {
      pending_.append(text, start, feed - start);
      result.lines.push_back(std::move(pending_));
    }
    pending_.clear();
    start = feed + 1;
  }
  if (!discarding_) pending_.append(text, start, std::string::npos);
  if (pending_.size() > kCapacity) {
    pending_.clear();
    pending_.shrink_to_fit();
    discarding_ = true;
    result.overflowed = true;
  }
  return result;
}

void RemoteLineBuffer::Clear() {
  pending_.clear();
  discarding_ = false;
}
