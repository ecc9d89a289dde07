#include "platform/process_usage.h"

#include <sys/resource.h>

namespace platform {

namespace {

double Seconds(const timeval& value) { return static_cast<double>(value.tv_sec) + value.tv_usec / 1e6; }

}  // namespace

ProcessUsage GetProcessUsage() {
  ProcessUsage usage;
  rusage self{};
  if (getrusage(RUSAGE_SELF, &self) != 0) return usage;
  usage.userSeconds = Seconds(self.ru_utime);
  usage.systemSeconds = Seconds(self.ru_stime);
  usage.peakResidentBytes = static_cast<std::uint64_t>(self.ru_maxrss) * 1024;  // kilobytes on Linux
  return usage;
}

}  // namespace platform
