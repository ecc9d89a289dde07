#pragma once
// A PC parallel port through Linux ppdev (/dev/parportN): claimed while open,
// the data register written, the status register read.

#include <cstdint>
#include <string>

namespace platform {

class ParallelPort {
 public:
  ParallelPort() = default;
  ~ParallelPort();
  ParallelPort(const ParallelPort&) = delete;
  ParallelPort& operator=(const ParallelPort&) = delete;

  // Opens /dev/parport<n> (or the folder given by QUILLON_PARPORT_DIR) and claims it.
  bool Open(int number);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

  bool WriteData(std::uint8_t value);
  bool ReadStatus(std::uint8_t& value);

 private:
  int fd_ = -1;
};

std::string ParallelPortPath(int number);

}  // namespace platform
