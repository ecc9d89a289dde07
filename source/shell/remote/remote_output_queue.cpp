#include "shell/remote/remote_output_queue.h"

#include <algorithm>

bool RemoteOutputQueue::Append(std::string_view bytes) {
  if (bytes.size() > capacity_ - std::min(capacity_, Size())) return false;
  bytes_.append(bytes);
  return true;
}

void RemoteOutputQueue::Consume(std::size_t count) {
  taken_ += std::min(count, Size());
  if (taken_ == bytes_.size()) {
    Clear();
  } else if (taken_ >= bytes_.size() / 2) {
    // Drop the sent half, so the string does not grow with everything ever sent.
    bytes_.erase(0, taken_);
    taken_ = 0;
  }
}

void RemoteOutputQueue::Clear() {
  bytes_.clear();
  taken_ = 0;
}
