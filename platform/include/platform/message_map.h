#pragma once
// A message map: message numbers (or ranges of them) bound to handlers.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/message.h"

namespace platform {

class MessageMap {
 public:
  using Handler = std::function<void(Message&)>;

  MessageMap& On(std::uint32_t number, Handler handler) { return OnRange(number, number, std::move(handler)); }
  MessageMap& OnRange(std::uint32_t first, std::uint32_t last, Handler handler) {
    entries_.push_back({first, last, std::move(handler)});
    return *this;
  }
  // Runs the first entry that covers the message; false when none does.
  bool Dispatch(Message& message) const {
    for (const auto& e : entries_) {
      if (message.number >= e.first && message.number <= e.last) {
        e.handler(message);
        return true;
      }
    }
    return false;
  }

 private:
  struct Entry {
    std::uint32_t first;
    std::uint32_t last;
    Handler handler;
  };
  std::vector<Entry> entries_;
};

}  // namespace platform
