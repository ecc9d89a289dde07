#pragma once
// Events with manual or automatic reset, and waits on events and messages.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/message_queue.h"
#include "platform/waker.h"

namespace platform {

class Event {
 public:
  enum class Reset { Manual, Auto };
  explicit Event(Reset reset = Reset::Auto, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void ResetEvent();
  // True when the event was set within the time-out (an auto-reset event is
  // then cleared again).
  bool Wait(Milliseconds timeout = kInfinite);
  bool IsSet() const;

  // For waits on several objects: consumes the event when it is set.
  bool TryConsume();
  void AddWaker(Waker* waker);
  void RemoveWaker(Waker* waker);

 private:
  bool TryConsumeLocked();

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Waker*> wakers_;
  Reset reset_;
  bool set_;
};

enum class WaitResult { Event, Message, Timeout };

// Waits until the event is set (consuming an auto-reset event) or a message
// is in the queue, whichever comes first, or the time-out passes.
WaitResult WaitForEventOrMessage(Event& event, MessageQueue& queue, Milliseconds timeout);
// Waits for any of the events; returns its index, or -1 on time-out.
int WaitForAnyEvent(const std::vector<Event*>& events, Milliseconds timeout);

}  // namespace platform
