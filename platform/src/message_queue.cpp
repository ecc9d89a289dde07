#include "platform/message_queue.h"

#include <algorithm>

namespace platform {

namespace {
std::chrono::steady_clock::time_point DeadlineAfter(Milliseconds timeout) {
  if (timeout == kInfinite) return std::chrono::steady_clock::time_point::max();
  return std::chrono::steady_clock::now() + timeout;
}
}  // namespace

bool MessageQueue::Post(Message& message) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  messages_.push_back(std::move(message));
  posted_.notify_all();
  // Fired under the lock, as an event fires its wakers: a waiter leaves the
  // list under this lock before its waker goes.
  for (auto* w : wakers_) w->Fire();
  return true;
}

std::optional<Message> MessageQueue::Get() {
  std::unique_lock lock(mutex_);
  posted_.wait(lock, [&] { return !messages_.empty() || closed_; });
  if (messages_.empty()) return std::nullopt;
  Message m = std::move(messages_.front());
  messages_.pop_front();
  return m;
}

std::optional<Message> MessageQueue::Get(Milliseconds timeout) {
  return TakeMatching(0, UINT32_MAX, timeout);
}

std::optional<Message> MessageQueue::TakeMatchingLocked(std::uint32_t first, std::uint32_t last) {
  auto it = std::find_if(messages_.begin(), messages_.end(),
                         [&](const Message& m) { return m.number >= first && m.number <= last; });
  if (it == messages_.end()) return std::nullopt;
  Message m = std::move(*it);
  messages_.erase(it);
  return m;
}

std::optional<Message> MessageQueue::TakeMatching(std::uint32_t first, std::uint32_t last,
                                                  Milliseconds timeout) {
  const auto deadline = DeadlineAfter(timeout);
  std::unique_lock lock(mutex_);
  for (;;) {
    if (auto m = TakeMatchingLocked(first, last)) return m;
    if (closed_) return std::nullopt;
    if (deadline == std::chrono::steady_clock::time_point::max()) {
      posted_.wait(lock);
    } else if (posted_.wait_until(lock, deadline) == std::cv_status::timeout) {
      return TakeMatchingLocked(first, last);
    }
  }
}

std::optional<Message> MessageQueue::TryGet() {
  std::lock_guard lock(mutex_);
  if (messages_.empty()) return std::nullopt;
  Message m = std::move(messages_.front());
  messages_.pop_front();
  return m;
}

bool MessageQueue::Empty() const {
  std::lock_guard lock(mutex_);
  return messages_.empty();
}

std::size_t MessageQueue::Size() const {
  std::lock_guard lock(mutex_);
  return messages_.size();
}

void MessageQueue::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  posted_.notify_all();
}

bool MessageQueue::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

void MessageQueue::Clear() {
  std::deque<Message> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(messages_);
  }
  // Payloads are freed here, outside the lock.
}

void MessageQueue::AddWaker(Waker* waker) {
  std::lock_guard lock(mutex_);
  wakers_.push_back(waker);
}

void MessageQueue::RemoveWaker(Waker* waker) {
  std::lock_guard lock(mutex_);
  std::erase(wakers_, waker);
}

}  // namespace platform
