#pragma once
// Time: a millisecond tick and sleeps.

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick.
std::uint32_t GetTickCount();
void SleepMs(std::uint32_t ms);

}  // namespace platform
