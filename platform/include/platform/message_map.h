#pragma once
// A message map: message numbers (or ranges of them) bound to handlers.
//
// On<M> binds number M by its entry in the payload table. The handler of a
// record message receives the record (null when the message came without
// one) and, when it asks for it, the message; the handler of a message
// without a record receives the message or nothing:
//
//   map.On<WM_LOG_LINE>([](std::unique_ptr<std::string> line) { ... })
//      .On<WM_RECENT_FILE>([](Message& m) { ... m.wParam ... });
//
// A handler that forwards the message unopened takes Message& for a record
// message too; the record then stays in the message.

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/message.h"

namespace platform {

class MessageMap {
 public:
  using Handler = std::function<void(Message&)>;

  template <MessageId M, class F>
    requires HasPayloadEntry<M>
  MessageMap& On(F handler) {
    return OnRange(M, M, Adapt<M>(std::move(handler)));
  }
  // By number alone, without the table: for a library's own messages,
  // whose numbers may overlap the program's table (the USB library's driver
  // notices share numbers with the program's user operations).
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
  template <MessageId M, class F>
  static Handler Adapt(F handler) {
    if constexpr (RecordMessage<M>) {
      using Record = std::unique_ptr<PayloadOf<M>>;
      if constexpr (std::is_invocable_v<F&, Record, Message&>) {
        return [handler = std::move(handler)](Message& m) mutable { handler(m.Take<M>(), m); };
      } else if constexpr (std::is_invocable_v<F&, Record>) {
        return [handler = std::move(handler)](Message& m) mutable { handler(m.Take<M>()); };
      } else {
        static_assert(std::is_invocable_v<F&, Message&>,
                      "the handler of a record message takes its record (and the message), or the message");
        return Handler(std::move(handler));
      }
    } else {
      if constexpr (std::is_invocable_v<F&, Message&>) {
        return Handler(std::move(handler));
      } else {
        static_assert(std::is_invocable_v<F&>, "the handler of a message without a record takes the message or nothing");
        return [handler = std::move(handler)](Message&) mutable { handler(); };
      }
    }
  }

  struct Entry {
    std::uint32_t first;
    std::uint32_t last;
    Handler handler;
  };
  std::vector<Entry> entries_;
};

}  // namespace platform
