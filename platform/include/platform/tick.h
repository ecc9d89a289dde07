#pragma once
// Time: a millisecond tick, sleeps, and the multimedia-timer calls, which are
// no-ops here because the scheduler already gives millisecond timers.

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick.
std::uint32_t GetTickCount();
void SleepMs(std::uint32_t ms);

struct TimerCaps {
  std::uint32_t periodMin = 1;
  std::uint32_t periodMax = 1000000;
};
inline TimerCaps TimeGetDevCaps() { return {}; }
inline std::uint32_t TimeBeginPeriod(std::uint32_t) { return 0; }
inline std::uint32_t TimeEndPeriod(std::uint32_t) { return 0; }

}  // namespace platform
