#include "device_peer.h"

#include <algorithm>
#include <chrono>

namespace quor_pst {

void DevicePeer::Deliver(const std::uint8_t* data, std::size_t size) {
  {
    std::lock_guard lock(mutex_);
    incoming_.insert(incoming_.end(), data, data + size);
  }
  arrived_.notify_all();
}

void DevicePeer::End() {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  arrived_.notify_all();
}

bool DevicePeer::Ended() const {
  std::lock_guard lock(mutex_);
  return ended_;
}

DevicePeer::Taken DevicePeer::Take(std::uint8_t* out, std::size_t wanted, platform::Milliseconds timeout) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return ended_ || incoming_.size() >= wanted; };
  if (timeout == platform::kInfinite) {
    arrived_.wait(lock, ready);
  } else {
    arrived_.wait_until(lock, std::chrono::steady_clock::now() + timeout, ready);
  }
  Taken taken;
  taken.count = std::min(wanted, incoming_.size());
  std::copy_n(incoming_.begin(), taken.count, out);
  incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(taken.count));
  taken.ended = ended_ && taken.count < wanted;
  return taken;
}

platform::IoResult DevicePeer::Send(const void* data, std::size_t size, platform::Milliseconds timeout) {
  std::lock_guard lock(sendMutex_);
  return socket_.Send(data, size, timeout);
}

void DevicePeer::Disconnect() {
  End();
  socket_.Shutdown();
}

}  // namespace quor_pst
