#pragma once
// The reader of an asynchronous link: waits for port events, posts received
// bytes in chunks of at most 1024 to the slot's window and turns DSR changes
// and the loss of the device into line-status messages. Stop wakes it and
// joins it, so the port is never closed under a waiting reader.

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/serial_events.h"
#include "serial_link.h"

namespace gantrel {

inline constexpr std::size_t kAsyncChunk = 1024;

class AsyncReader {
 public:
  AsyncReader(std::uint16_t id, std::shared_ptr<SerialLink> link);
  ~AsyncReader();
  AsyncReader(const AsyncReader&) = delete;
  AsyncReader& operator=(const AsyncReader&) = delete;

  // Wakes the reader and waits for its end.
  void Stop();
  bool Running() const { return !ended_.load(); }

 private:
  void Run();
  void Deliver();
  void ReportDsr();

  std::uint16_t id_;
  std::shared_ptr<SerialLink> link_;
  platform::SerialEventWait wait_;
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

}  // namespace gantrel
