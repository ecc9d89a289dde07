#include "platform/event.h"

#include <algorithm>

namespace platform {

namespace {
std::chrono::steady_clock::time_point DeadlineAfter(Milliseconds timeout) {
  if (timeout == kInfinite) return std::chrono::steady_clock::time_point::max();
  return std::chrono::steady_clock::now() + timeout;
}

// Registers one waker with a set of sources for the duration of a wait.
template <class Source>
class WakerScope {
 public:
  WakerScope(Waker& waker, std::vector<Source*> sources) : waker_(waker), sources_(std::move(sources)) {
    for (auto* s : sources_) s->AddWaker(&waker_);
  }
  ~WakerScope() {
    for (auto* s : sources_) s->RemoveWaker(&waker_);
  }
  WakerScope(const WakerScope&) = delete;
  WakerScope& operator=(const WakerScope&) = delete;

 private:
  Waker& waker_;
  std::vector<Source*> sources_;
};
}  // namespace

Event::Event(Reset reset, bool initiallySet) : reset_(reset), set_(initiallySet) {}

void Event::Set() {
  std::lock_guard lock(mutex_);
  set_ = true;
  cv_.notify_all();
  // The wakers are fired under the lock: a waiter takes its waker off the
  // list under the same lock before it destroys it, so none is fired after
  // its waiter has gone.
  for (auto* w : wakers_) w->Fire();
}

void Event::ResetEvent() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::TryConsumeLocked() {
  if (!set_) return false;
  if (reset_ == Reset::Auto) set_ = false;
  return true;
}

bool Event::TryConsume() {
  std::lock_guard lock(mutex_);
  return TryConsumeLocked();
}

bool Event::Wait(Milliseconds timeout) {
  const auto deadline = DeadlineAfter(timeout);
  std::unique_lock lock(mutex_);
  if (deadline == std::chrono::steady_clock::time_point::max()) {
    cv_.wait(lock, [&] { return set_; });
  } else if (!cv_.wait_until(lock, deadline, [&] { return set_; })) {
    return false;
  }
  return TryConsumeLocked();
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

void Event::AddWaker(Waker* waker) {
  std::lock_guard lock(mutex_);
  wakers_.push_back(waker);
}

void Event::RemoveWaker(Waker* waker) {
  std::lock_guard lock(mutex_);
  std::erase(wakers_, waker);
}

WaitResult WaitForEventOrMessage(Event& event, MessageQueue& queue, Milliseconds timeout) {
  const auto deadline = DeadlineAfter(timeout);
  Waker waker;
  WakerScope<Event> onEvent(waker, {&event});
  WakerScope<MessageQueue> onQueue(waker, {&queue});
  for (;;) {
    if (event.TryConsume()) return WaitResult::Event;
    if (!queue.Empty()) return WaitResult::Message;
    if (!waker.WaitUntil(deadline)) {
      if (event.TryConsume()) return WaitResult::Event;
      return queue.Empty() ? WaitResult::Timeout : WaitResult::Message;
    }
  }
}

int WaitForAnyEvent(const std::vector<Event*>& events, Milliseconds timeout) {
  const auto deadline = DeadlineAfter(timeout);
  Waker waker;
  WakerScope<Event> scope(waker, events);
  for (;;) {
    for (std::size_t i = 0; i < events.size(); ++i)
      if (events[i]->TryConsume()) return static_cast<int>(i);
    if (!waker.WaitUntil(deadline)) {
      for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i]->TryConsume()) return static_cast<int>(i);
      return -1;
    }
  }
}

}  // namespace platform
