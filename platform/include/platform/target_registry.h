#pragma once
// Process-wide registry of thread ids and window handles.
//
// Thread ids and window handles are plain integers, so a library can post to
// a window or thread that the program handed it. They are drawn from one
// counter and never reused, so a post to a stale handle does nothing.

#include <cstdint>
#include <memory>

#include "platform/message.h"
#include "platform/message_queue.h"
#include "platform/message_target.h"

namespace platform {

using ThreadId = std::uint32_t;
using WindowHandle = std::uint32_t;
inline constexpr std::uint32_t kNoHandle = 0;

enum class TargetKind { Thread, Window };

// Registers a target; returns its new handle.
std::uint32_t RegisterTarget(TargetKind kind, std::shared_ptr<MessageTarget> target);
void UnregisterTarget(std::uint32_t handle);
bool IsRegisteredThread(ThreadId id);
bool IsRegisteredWindow(WindowHandle handle);

// Non-blocking posts. They return false for an unknown, stale or ended
// target; the message's payload is then freed.
bool PostThreadMessage(ThreadId id, Message message);
bool PostThreadMessage(ThreadId id, std::uint32_t number, WParam w = 0, LParam l = 0);

// Typed posts: message M with its record, or with plain integers when it
// carries none (the payload table decides which form compiles).
template <MessageId M>
  requires RecordMessage<M>
bool PostThreadMessage(ThreadId id, std::unique_ptr<PayloadOf<M>> record, LParam l = 0) {
  return PostThreadMessage(id, Message::Make<M>(std::move(record), l));
}
template <MessageId M>
  requires PlainMessage<M>
bool PostThreadMessage(ThreadId id, WParam w = 0, LParam l = 0) {
  return PostThreadMessage(id, Message::Make<M>(w, l));
}

bool PostWindowMessage(WindowHandle window, Message message);
bool PostWindowMessage(WindowHandle window, std::uint32_t number, WParam w = 0, LParam l = 0);

template <MessageId M>
  requires RecordMessage<M>
bool PostWindowMessage(WindowHandle window, std::unique_ptr<PayloadOf<M>> record, LParam l = 0) {
  return PostWindowMessage(window, Message::Make<M>(std::move(record), l));
}
template <MessageId M>
  requires PlainMessage<M>
bool PostWindowMessage(WindowHandle window, WParam w = 0, LParam l = 0) {
  return PostWindowMessage(window, Message::Make<M>(w, l));
}

// Keeps a target registered for as long as it lives.
class TargetRegistration {
 public:
  TargetRegistration() = default;
  TargetRegistration(TargetKind kind, std::shared_ptr<MessageTarget> target)
      : handle_(RegisterTarget(kind, std::move(target))) {}
  ~TargetRegistration() { Reset(); }
  TargetRegistration(TargetRegistration&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }
  TargetRegistration& operator=(TargetRegistration&& other) noexcept {
    if (this != &other) { Reset(); handle_ = other.handle_; other.handle_ = kNoHandle; }
    return *this;
  }
  TargetRegistration(const TargetRegistration&) = delete;
  TargetRegistration& operator=(const TargetRegistration&) = delete;

  std::uint32_t handle() const { return handle_; }
  void Reset() {
    if (handle_ != kNoHandle) UnregisterTarget(handle_);
    handle_ = kNoHandle;
  }

 private:
  std::uint32_t handle_ = kNoHandle;
};

// A registered queue that the owning code reads itself: a test's recording
// target, or a thread that is not a WorkerThread but wants thread messages.
class RegisteredQueue {
 public:
  explicit RegisteredQueue(TargetKind kind = TargetKind::Thread)
      : queue_(std::make_shared<MessageQueue>()), registration_(kind, queue_) {}
  ~RegisteredQueue() { queue_->Close(); }
  std::uint32_t handle() const { return registration_.handle(); }
  MessageQueue& queue() { return *queue_; }

 private:
  std::shared_ptr<MessageQueue> queue_;
  TargetRegistration registration_;
};

}  // namespace platform
