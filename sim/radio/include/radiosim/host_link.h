#pragma once
// The simulated radio's side of a byte transport: where the radio puts the
// bytes it sends back to the host. A front end (pseudo-terminal, USB
// stand-in device, or a test) implements it.

#include <cstdint>
#include <span>

namespace radiosim {

class HostLink {
 public:
  virtual ~HostLink() = default;
  // Bytes from the radio to the host, in order.
  virtual void SendToHost(std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace radiosim
