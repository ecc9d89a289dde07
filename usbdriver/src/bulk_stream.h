#pragma once
// The bulk IN pipe of one interface as a byte stream, as the driver's callers
// expect it: a read waits up to its time-out for all the bytes it wants. The
// endpoint is always asked for whole packets, so a device's packet never
// overflows a short request; bytes beyond the request are kept for the next
// read. Zero-length packets carry no bytes and end nothing.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace usb_driver {

inline constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;
// The largest single request to the endpoint, and the driver's maximum bulk
// size: a whole number of packets for every bulk packet size.
inline constexpr std::uint32_t kMaxBulkRequest = 16384;

// One transfer from the endpoint into data (capacity bytes); `got` is what
// arrived, the result 0 or a libusb error. A time-out of 0 means no limit.
using InTransfer = std::function<int(std::uint8_t* data, std::uint32_t capacity, std::uint32_t& got,
                                     unsigned timeoutMs)>;

struct ReadOutcome {
  int result = 0;  // the last libusb result
  std::uint32_t moved = 0;
};

// The request size for `need` more bytes: whole packets, at most the largest request.
std::uint32_t RequestSize(std::uint32_t need, std::uint16_t packetSize);

class BulkInStream {
 public:
  explicit BulkInStream(std::uint16_t packetSize) : packetSize_(packetSize) {}

  ReadOutcome Read(std::uint8_t* out, std::uint32_t wanted, std::uint32_t timeoutMs, const InTransfer& transfer);

  // Bytes that arrived beyond what was read.
  std::size_t Kept() const;

 private:
  std::uint32_t TakeKept(std::uint8_t* out, std::uint32_t wanted);

  mutable std::mutex mutex_;
  std::uint16_t packetSize_;
  std::vector<std::uint8_t> kept_;
  std::vector<std::uint8_t> scratch_;
};

}  // namespace usb_driver
