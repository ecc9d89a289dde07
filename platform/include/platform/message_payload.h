#pragma once
// The compile-time table from message number to what the message carries.
//
// Each message family lists its numbers next to where it defines them:
//
//   template <> struct platform::MessagePayload<WM_LOG_LINE> : platform::Carries<std::string> {};
//   template <> struct platform::MessagePayload<WM_REFRESH_TITLE> : platform::CarriesNoRecord {};
//
// A record message hands its record over by std::unique_ptr (the receiver
// owns it); a message without a record carries plain wParam/lParam integers
// or nothing. The typed posts (Message::Make<M>, PostThreadMessage<M>,
// PostWindowMessage<M>, WorkerThread::Post<M>), the typed take
// (Message::Take<M>) and the typed message-map entries (MessageMap::On<M>)
// read the table, so posting or taking another type than the number's does
// not compile, and a number without an entry cannot be used with them.

#include <cstdint>
#include <type_traits>

namespace platform {

using MessageId = std::uint32_t;

// The table entry of a message that carries no record.
struct NoPayload {};

// The table: no entry unless a family gives one.
template <MessageId Number>
struct MessagePayload {};

template <class Record>
struct Carries {
  static_assert(!std::is_same_v<Record, NoPayload>);
  using type = Record;
};
struct CarriesNoRecord {
  using type = NoPayload;
};

template <MessageId Number>
concept HasPayloadEntry = requires { typename MessagePayload<Number>::type; };

// The record type of a record message (NoPayload for one without a record).
template <MessageId Number>
  requires HasPayloadEntry<Number>
using PayloadOf = typename MessagePayload<Number>::type;

template <MessageId Number>
concept RecordMessage = HasPayloadEntry<Number> && !std::is_same_v<PayloadOf<Number>, NoPayload>;

template <MessageId Number>
concept PlainMessage = HasPayloadEntry<Number> && std::is_same_v<PayloadOf<Number>, NoPayload>;

}  // namespace platform
