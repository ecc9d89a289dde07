#pragma once
// The transmitter of a port that has none of its own. A UART sends what was
// written at its bit rate, and its output queue counts the bytes not yet on
// the line; a pseudo-terminal hands everything to its master at once and
// always reports an empty queue. This clock gives such a port the UART's
// queue, so that a caller who waits for the queue to drain before timing a
// reply waits as long as the line would take.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace platform {

class TransmitClock {
 public:
  using Clock = std::chrono::steady_clock;

  // The line's bit rate and the bits one byte takes on it (start, data,
  // parity and stop bits); a rate of 0 stops the clock.
  void SetLine(std::uint32_t bitsPerSecond, double bitsPerByte) {
    bytesPerSecond_ = bitsPerSecond == 0 ? 0.0 : bitsPerSecond / bitsPerByte;
  }

  // Bytes were written: they leave after those written before them.
  void Sent(std::size_t bytes) {
    if (bytesPerSecond_ <= 0 || bytes == 0) return;
    const auto now = Clock::now();
    idleAt_ = std::max(idleAt_, now) + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(static_cast<double>(bytes) / bytesPerSecond_));
  }

  // When the last byte written will have left.
  Clock::time_point IdleAt() const { return idleAt_; }

  // The bytes still waiting to go out.
  std::uint32_t Queued() const {
    const auto left = std::chrono::duration<double>(idleAt_ - Clock::now()).count();
    if (left <= 0 || bytesPerSecond_ <= 0) return 0;
    return static_cast<std::uint32_t>(std::min(left * bytesPerSecond_ + 0.999, 4294967295.0));
  }

 private:
  double bytesPerSecond_ = 0;
  Clock::time_point idleAt_{};
};

}  // namespace platform
