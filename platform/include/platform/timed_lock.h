#pragma once
// Taking a lock with a time limit. The standard library's timed try-lock
// goes through a system call that the ThreadSanitizer runtime of this
// toolchain does not see, which leaves the lock looking unlocked to it; this
// one asks with plain try-locks, a millisecond apart, until the limit.

#include <chrono>
#include <thread>

namespace platform {

template <class Lockable>
bool TryLockFor(Lockable& lock, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (lock.try_lock()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace platform
