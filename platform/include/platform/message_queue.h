#pragma once
// A thread's FIFO message queue.
//
// Posting never blocks. A closed queue refuses posts (the message and its
// payload stay with the caller and are freed there). A filtered take removes
// the first message of one number range and leaves every other message
// queued in its order.

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/message_target.h"
#include "platform/waker.h"

namespace platform {

using Milliseconds = std::chrono::milliseconds;
inline constexpr Milliseconds kInfinite = Milliseconds::max();

class MessageQueue : public MessageTarget {
 public:
  MessageQueue() = default;
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  bool Post(Message& message) override;
  bool Post(Message&& message) { return Post(message); }

  // Blocks until a message is there; nullopt once the queue is closed and empty.
  std::optional<Message> Get();
  // Next message within the time-out; nullopt on time-out.
  std::optional<Message> Get(Milliseconds timeout);
  // The first message whose number lies in [first, last], waiting up to the
  // time-out; other messages stay queued in order.
  std::optional<Message> TakeMatching(std::uint32_t first, std::uint32_t last,
                                      Milliseconds timeout = kInfinite);
  std::optional<Message> TryGet();
  bool Empty() const;
  std::size_t Size() const;

  // Refuses every later post; what is queued stays until taken or destroyed.
  void Close();
  bool Closed() const;
  // Drops every queued message (their payloads are freed).
  void Clear();

  // Wakers fire whenever a message is posted.
  void AddWaker(Waker* waker);
  void RemoveWaker(Waker* waker);

 private:
  std::optional<Message> TakeMatchingLocked(std::uint32_t first, std::uint32_t last);

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Message> messages_;
  std::vector<Waker*> wakers_;
  bool closed_ = false;
};

}  // namespace platform
