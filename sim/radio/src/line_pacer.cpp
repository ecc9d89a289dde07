#include "radiosim/line_pacer.h"

#include <thread>

namespace radiosim {
namespace {

constexpr int kBitsPerByte = 10;
// A line quiet for longer than this starts its schedule from now.
constexpr auto kIdleGap = std::chrono::milliseconds(2);

}  // namespace

LinePacer::Clock::duration LinePacer::LineTime(std::size_t bytes, std::uint32_t bitRate) {
  if (bitRate == 0) return Clock::duration::zero();
  const auto nanoseconds = static_cast<std::int64_t>(bytes) * kBitsPerByte * 1000000000LL / bitRate;
  return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanoseconds));
}

void LinePacer::Pass(std::size_t bytes, std::uint32_t bitRate) {
  if (bitRate == 0 || bytes == 0) return;
  const auto now = Clock::now();
  if (now - free_ > kIdleGap) free_ = now;
  free_ += LineTime(bytes, bitRate);
  std::this_thread::sleep_until(free_);
}

}  // namespace radiosim
