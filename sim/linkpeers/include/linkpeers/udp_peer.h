#pragma once
// A UDP peer on loopback: answers each datagram with a set reply (or echoes
// it), or stays silent; keeps what it received.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/udp_socket.h"

namespace linkpeers {

class UdpPeer {
 public:
  enum class Mode { Echo, Reply, Silent };

  ~UdpPeer();
  // Binds 127.0.0.1 on a port the system picks and serves.
  bool Start();
  void Stop();
  std::uint16_t Port() const { return port_; }

  void SetMode(Mode mode, std::vector<std::uint8_t> reply = {});
  std::vector<std::vector<std::uint8_t>> Received();

 private:
  void Serve();

  platform::UdpSocket socket_;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::mutex lock_;
  Mode mode_ = Mode::Echo;
  std::vector<std::uint8_t> reply_;
  std::vector<std::vector<std::uint8_t>> received_;
};

}  // namespace linkpeers
