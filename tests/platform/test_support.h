#pragma once
// Small helpers shared by the platform tests.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace platform::testing {

// Polls a condition until it holds or the deadline passes.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

// A payload that counts how many of its kind are alive.
struct CountedPayload {
  static inline std::atomic<int> alive{0};
  int value;
  explicit CountedPayload(int v) : value(v) { ++alive; }
  ~CountedPayload() { --alive; }
  CountedPayload(const CountedPayload&) = delete;
  CountedPayload& operator=(const CountedPayload&) = delete;
};

}  // namespace platform::testing
