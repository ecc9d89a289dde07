#pragma once
// One waiter that several signal sources (events, message queues) can wake.

#include <condition_variable>
#include <mutex>

namespace platform {

class Waker {
 public:
  void Fire() {
    { std::lock_guard lock(mutex_); fired_ = true; }
    cv_.notify_all();
  }
  // Waits until fired or the deadline passes; clears the flag. Returns whether it fired.
  template <class Clock, class Duration>
  bool WaitUntil(const std::chrono::time_point<Clock, Duration>& deadline) {
    std::unique_lock lock(mutex_);
    bool fired = cv_.wait_until(lock, deadline, [&] { return fired_; });
    fired_ = false;
    return fired;
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return fired_; });
    fired_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool fired_ = false;
};

}  // namespace platform
