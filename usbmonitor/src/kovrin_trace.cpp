#include "kovrin_trace.h"

#include <cstdarg>

#include "platform/env_trace.h"

namespace kovrin {
namespace {

platform::EnvTrace& Sink() {
  static platform::EnvTrace sink(kTraceVariable, "");
  return sink;
}

}  // namespace

void KovrinTrace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Sink().VPrintf(format, args);
  va_end(args);
}

}  // namespace kovrin
