#include "platform/serial_low_latency.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/env_trace.h"

namespace platform {
namespace {

class SystemDriverRequests : public SerialDriverRequests {
 public:
  int Control(int fd, unsigned long request, void* argument) override { return ::ioctl(fd, request, argument); }
};

SystemDriverRequests systemRequests;
std::atomic<SerialDriverRequests*> installed{nullptr};

SerialDriverRequests& Requests() {
  SerialDriverRequests* requests = installed.load(std::memory_order_acquire);
  return requests ? *requests : systemRequests;
}

EnvTrace& Trace() {
  static EnvTrace trace(kSerialTraceVariable, "serial: ");
  return trace;
}

bool Refused(const std::string& path) {
  const int err = errno;
  Trace().Printf("%s keeps the driver's latency: %s", path.c_str(), std::strerror(err));
  errno = err;
  return false;
}

}  // namespace

void InstallSerialDriverRequests(SerialDriverRequests* requests) {
  installed.store(requests, std::memory_order_release);
}

bool RequestLowLatency(int fd, const std::string& path) {
  serial_struct settings{};
  SerialDriverRequests& requests = Requests();
  if (requests.Control(fd, TIOCGSERIAL, &settings) != 0) return Refused(path);
  if (settings.flags & ASYNC_LOW_LATENCY) return true;
  settings.flags |= ASYNC_LOW_LATENCY;
  if (requests.Control(fd, TIOCSSERIAL, &settings) != 0) return Refused(path);
  return true;
}

}  // namespace platform
