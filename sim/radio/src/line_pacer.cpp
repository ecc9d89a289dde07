#include "radiosim/line_pacer.h"

#include <algorithm>
#include <thread>

namespace radiosim {
namespace {

constexpr int kBitsPerByte = 10;

}  // namespace

LinePacer::Clock::duration LinePacer::LineTime(std::size_t bytes, std::uint32_t bitRate) {
  if (bitRate == 0) return Clock::duration::zero();
  const auto nanoseconds = static_cast<std::int64_t>(bytes) * kBitsPerByte * 1000000000LL / bitRate;
  return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanoseconds));
}

void LinePacer::Pass(std::size_t bytes, std::uint32_t bitRate, Clock::time_point notBefore) {
  if (bitRate == 0 || bytes == 0) return;
  free_ = std::max(free_, notBefore);
  free_ += LineTime(bytes, bitRate);
  std::this_thread::sleep_until(free_);
}

}  // namespace radiosim
