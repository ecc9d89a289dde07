#pragma once
// Waits for a device to arrive on a port. Each port has a generation count
// that a walk raises when it finds a device there; a waiter notes the count,
// checks the table, and waits (holding no table lock) until the count moves
// or its time runs out.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "port_table.h"

namespace kovrin {

class PortWaits {
 public:
  std::uint64_t Generation(int port) const {
    std::lock_guard lock(mutex_);
    return generation_[port];
  }
  void Arrived(const std::vector<int>& ports) {
    {
      std::lock_guard lock(mutex_);
      for (int p : ports) ++generation_[p];
    }
    changed_.notify_all();
  }
  // True when the port's generation moved past seen within the time-out.
  bool WaitPast(int port, std::uint64_t seen, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    ++waiting_;
    const bool moved = changed_.wait_for(lock, timeout, [&] { return generation_[port] != seen; });
    --waiting_;
    return moved;
  }
  // How many callers wait right now.
  int Waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::array<std::uint64_t, kPortCount> generation_{};
  int waiting_ = 0;
};

}  // namespace kovrin
