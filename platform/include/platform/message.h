#pragma once
// A posted message: {number, wParam, lParam}, with explicit ownership of a
// heap payload carried by pointer in wParam.
//
// A sender hands a payload over as std::unique_ptr; from then on the message
// owns it. The receiver takes it back with Take<M>(), typed by the message
// number's entry in the payload table (platform/message_payload.h). Messages
// whose numbers are chosen at run time (a library posting to the number its
// caller registered) set the payload themselves and are read with
// payload.Take<T>(), which gives null for another type. A message that is never
// delivered (the target is unknown or has ended) or whose handler does not
// take the payload frees it when the message is destroyed, so a failed post
// never leaks and never frees twice.

#include <cstdint>
#include <memory>
#include <typeinfo>
#include <utility>

#include "platform/message_payload.h"

namespace platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;

class OwnedPayload {
 public:
  OwnedPayload() = default;
  template <class T>
  explicit OwnedPayload(std::unique_ptr<T> p)
      : ptr_(p.release(), [](void* v) { delete static_cast<T*>(v); }), type_(&typeid(T)) {}

  void* get() const { return ptr_.get(); }
  explicit operator bool() const { return ptr_ != nullptr; }

  // Gives the payload back as T when it is a T; otherwise null, and the
  // payload stays owned (and is freed with the message).
  template <class T>
  std::unique_ptr<T> Take() {
    if (!ptr_ || *type_ != typeid(T)) return nullptr;
    type_ = nullptr;
    return std::unique_ptr<T>(static_cast<T*>(ptr_.release()));
  }

 private:
  std::unique_ptr<void, void (*)(void*)> ptr_{nullptr, [](void*) {}};
  const std::type_info* type_ = nullptr;
};

struct Message {
  std::uint32_t number = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  OwnedPayload payload;  // set when wParam points at an owned record

  Message() = default;
  Message(std::uint32_t n, WParam w, LParam l) : number(n), wParam(w), lParam(l) {}

  // A message built from the payload table: number M with its record, or
  // number M with plain integers when it carries none.
  template <MessageId M>
    requires RecordMessage<M>
  static Message Make(std::unique_ptr<PayloadOf<M>> record, LParam l = 0) {
    return WithRecord(M, std::move(record), l);
  }
  template <MessageId M>
    requires PlainMessage<M>
  static Message Make(WParam w = 0, LParam l = 0) {
    return Message(M, w, l);
  }

  Message(Message&&) noexcept = default;
  Message& operator=(Message&&) noexcept = default;
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;

  // The record of message M: null when this message is another number or
  // was posted without its record.
  template <MessageId M>
    requires RecordMessage<M>
  std::unique_ptr<PayloadOf<M>> Take() {
    if (number != M) return nullptr;
    return payload.Take<PayloadOf<M>>();
  }
  bool HasPayload() const { return static_cast<bool>(payload); }

  // A record message whose number is chosen at run time: a library posting
  // to the number its caller registered, or a test of the queue itself. The
  // receiver takes the record with payload.Take<T>(), which gives null for
  // any other type. Everything else builds its messages with Make<M>.
  template <class T>
  static Message WithRecord(std::uint32_t n, std::unique_ptr<T> record, LParam l = 0) {
    Message m(n, reinterpret_cast<WParam>(record.get()), l);
    m.payload = OwnedPayload(std::move(record));
    return m;
  }
};

// The quit message of a thread's message loop (the framework's WM_QUIT).
inline constexpr std::uint32_t kQuitMessage = 0x0012;
template <>
struct MessagePayload<kQuitMessage> : CarriesNoRecord {};

}  // namespace platform
