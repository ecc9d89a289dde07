#include "radiosim/line_pacer.h"

#include <algorithm>
#include <thread>

namespace radiosim {
namespace {

constexpr int kBitsPerByte = 10;
// Bounds of how early an on-time sleep ends: never later than the system
// usually wakes, and never so early that the wait awake costs much.
constexpr auto kLeastMargin = std::chrono::microseconds(10);
constexpr auto kMostMargin = std::chrono::microseconds(300);

}  // namespace

LinePacer::Clock::duration LinePacer::LineTime(std::size_t bytes, std::uint32_t bitRate) {
  if (bitRate == 0) return Clock::duration::zero();
  const auto nanoseconds = static_cast<std::int64_t>(bytes) * kBitsPerByte * 1000000000LL / bitRate;
  return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanoseconds));
}

LinePacer::Clock::duration LinePacer::Pass(std::size_t bytes, std::uint32_t bitRate, Clock::time_point notBefore) {
  if (bitRate == 0 || bytes == 0) return Clock::duration::zero();
  free_ = std::max(free_, notBefore);
  free_ += LineTime(bytes, bitRate);
  std::this_thread::sleep_until(free_);
  return std::max(Clock::now() - free_, Clock::duration::zero());
}

LinePacer::Clock::duration LinePacer::PassOnTime(std::size_t bytes, std::uint32_t bitRate,
                                                 Clock::time_point notBefore) {
  if (bitRate == 0 || bytes == 0) return Clock::duration::zero();
  free_ = std::max(free_, notBefore);
  free_ += LineTime(bytes, bitRate);
  const auto wakeAt = free_ - wakeMargin_;
  if (Clock::now() < wakeAt) {
    std::this_thread::sleep_until(wakeAt);
    // Twice the overshoot, smoothed: most wake-ups then come early enough,
    // and a loaded moment widens the margin for a while.
    const auto overshoot = std::max(Clock::now() - wakeAt, Clock::duration::zero());
    wakeMargin_ = std::clamp<Clock::duration>((wakeMargin_ * 7 + overshoot * 2) / 8, kLeastMargin, kMostMargin);
  }
  while (Clock::now() < free_) {
  }
  return std::max(Clock::now() - free_, Clock::duration::zero());
}

}  // namespace radiosim
