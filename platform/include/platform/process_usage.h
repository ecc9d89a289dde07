#pragma once
// What the running process has used so far: processor time and the peak
// of its resident memory. For benchmarks that print their own figures.

#include <cstdint>

namespace platform {

struct ProcessUsage {
  double userSeconds = 0;
  double systemSeconds = 0;
  std::uint64_t peakResidentBytes = 0;  // the highest resident set since the process began
};

ProcessUsage GetProcessUsage();

}  // namespace platform
