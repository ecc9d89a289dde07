#pragma once
// The byte pipe between the host and the simulated GPS chip: the
// pseudo-terminal in real use, anything that carries bytes in tests.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace gps_sim {

class ByteLink {
 public:
  virtual ~ByteLink() = default;
  // Reads what has come, waiting up to the time-out for the first byte.
  // The count (0 after the time-out), or -1 when the link is finished.
  virtual long Read(std::uint8_t* buffer, std::size_t length, std::chrono::milliseconds timeout) = 0;
  virtual bool Write(const std::uint8_t* buffer, std::size_t length) = 0;
  // The bit rate that the host has set on its side.
  virtual std::uint32_t HostBaudRate() const = 0;
};

}  // namespace gps_sim
