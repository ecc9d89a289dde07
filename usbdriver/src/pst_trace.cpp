#include "pst_trace.h"

#include <cstdarg>

#include "platform/env_trace.h"

namespace usb_driver {
namespace {

platform::EnvTrace& Sink() {
  static platform::EnvTrace sink(kTraceVariable, "Quor_PST: ");
  return sink;
}

}  // namespace

void PstTrace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Sink().VPrintf(format, args);
  va_end(args);
}

}  // namespace usb_driver
