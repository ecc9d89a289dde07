#pragma once
// The kernel's buffered ("smart") flash mode: erase and program requests
// that the host streams without waiting for replies are queued in the
// kernel's buffer and written from it in order. Each queued request takes
// its own size in the buffer (a program request 8 + n bytes, the 8-byte
// end-of-data request 8, an erase request 10) until it has been written,
// which is the same accounting the host keeps when it paces itself by
// the free space. The engine writes at a given rate (0: as soon as a
// request is queued), or not at all while it is held.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "radiosim/flash_memory.h"

namespace radiosim {

class SmartFlashEngine {
 public:
  using Clock = std::chrono::steady_clock;
  // Writes one queued request; an error ends the stream.
  using Writer = std::function<std::optional<FlashError>(std::span<const std::uint8_t>)>;

  // What the completion query (06 01) reports.
  enum class Completion : std::uint8_t { Done = 0, Failed = 1, Writing = 2 };

  SmartFlashEngine(std::uint32_t bufferSize, std::uint32_t bytesPerSecond);

  // Switches the mode on with an empty buffer.
  void Start(Clock::time_point now);
  // Switches it off; returns how many queued requests were dropped.
  std::size_t Stop();
  bool Active() const { return active_; }

  // Queues a request. False when it does not fit in the free space (the
  // host overran the buffer): the stream then fails with 0x0102.
  bool Queue(std::span<const std::uint8_t> request, Clock::time_point now, const Writer& write);
  // Writes what the time since the last call allows.
  void Advance(Clock::time_point now, const Writer& write);
  // A held engine writes nothing (the stall fault).
  void Hold(bool held) { held_ = held; }

  std::uint32_t BufferSize() const { return bufferSize_; }
  std::uint32_t Free() const { return bufferSize_ - queuedBytes_; }
  std::size_t QueuedRequests() const { return queue_.size(); }
  Completion State() const;
  const std::optional<FlashError>& Failure() const { return failure_; }
  std::uint64_t BytesWritten() const { return written_; }

  static bool IsEndOfData(std::span<const std::uint8_t> request);

 private:
  void WriteFront(const Writer& write);
  void Fail(FlashError error);

  std::uint32_t bufferSize_;
  std::uint32_t bytesPerSecond_;
  bool active_ = false;
  bool held_ = false;
  bool endWritten_ = false;
  std::deque<std::vector<std::uint8_t>> queue_;
  std::uint32_t queuedBytes_ = 0;
  double budget_ = 0;
  Clock::time_point lastAdvance_{};
  std::optional<FlashError> failure_;
  std::uint64_t written_ = 0;
};

}  // namespace radiosim
