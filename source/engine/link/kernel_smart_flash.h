#pragma once
// Helpers of the smart flash that need no radio: the address order of the
// program list, how much of an entry one pass may stream into the
// kernel's free buffer space, and the watch that gives up on a kernel
// whose buffer shows no change.

#include <cstdint>
#include <optional>

#include "engine/core/region_list.h"

// Streaming starts only when more than this is free.
inline constexpr std::uint32_t kStreamThreshold = 0x20000;
// A block frame as the kernel's buffer counts it: 8 header bytes and at
// most 3072 data bytes.
inline constexpr std::uint32_t kStreamFrameBytes = 3080;
inline constexpr std::uint32_t kStreamFrameHeader = 8;

// Orders the entries by ascending address; entries with equal addresses
// keep their order.
void SortRegionsByAddress(CRegionList& list);

// The piece of an entry's rest that one pass sends into `freeBytes`:
// overhead = (free / 3080) × 8 + 8; the whole rest when it fits beside the
// overhead, else free less the overhead.
struct StreamPiece {
  std::uint32_t length = 0;
  bool wholeRest = false;
};
StreamPiece PlanStreamPiece(std::uint32_t freeBytes, std::uint32_t rest);

// Tracks one value that the kernel reports while the host waits on it;
// stalled once the value has not changed for the limit.
class StallWatch {
 public:
  StallWatch(std::uint32_t limitMs, std::uint32_t nowMs) : limitMs_(limitMs), sinceMs_(nowMs) {}
  // Records the value seen at the time; true when it has stood still for
  // the limit.
  bool Stalled(std::int64_t value, std::uint32_t nowMs);

 private:
  std::uint32_t limitMs_;
  std::uint32_t sinceMs_;
  std::optional<std::int64_t> last_;
};
