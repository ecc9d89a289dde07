#pragma once
// The device process at the far end of one device's data plane: the bytes it
// sent that the host has not read yet, and the socket to send it the host's.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/socket.h"

namespace quor_pst {

class DevicePeer {
 public:
  explicit DevicePeer(platform::Socket socket) : socket_(std::move(socket)) {}

  // From the data-plane thread: bytes that the device process sent.
  void Deliver(const std::uint8_t* data, std::size_t size);
  // The connection ended or the device was unplugged: waiting reads return.
  void End();
  bool Ended() const;

  struct Taken {
    std::size_t count = 0;
    bool ended = false;  // the peer went away before all bytes came
  };
  // Takes up to `wanted` bytes, waiting until all are there, the time-out
  // passes or the peer ends.
  Taken Take(std::uint8_t* out, std::size_t wanted, platform::Milliseconds timeout);
  platform::IoResult Send(const void* data, std::size_t size, platform::Milliseconds timeout);
  // Ends the connection; the data-plane thread then sees it close.
  void Disconnect();

  const platform::Socket& Socket() const { return socket_; }
  platform::IoResult ReceiveAvailable(void* buffer, std::size_t size) {
    return socket_.Receive(buffer, size, platform::Milliseconds(0));
  }

 private:
  platform::Socket socket_;
  std::mutex sendMutex_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::uint8_t> incoming_;
  bool ended_ = false;
};

}  // namespace quor_pst
