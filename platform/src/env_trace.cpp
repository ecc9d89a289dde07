#include "platform/env_trace.h"

#include <cstdlib>

namespace platform {
namespace {

constexpr std::size_t kTraceBufferSize = 1024;

}  // namespace

EnvTrace::EnvTrace(const char* variable, const char* prefix) : variable_(variable), prefix_(prefix) {}

EnvTrace::~EnvTrace() { Close(); }

void EnvTrace::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VPrintf(format, args);
  va_end(args);
}

void EnvTrace::VPrintf(const char* format, va_list args) {
  if (!On()) return;
  char buffer[kTraceBufferSize];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  Write(buffer);
}

bool EnvTrace::On() {
  std::lock_guard lock(mutex_);
  Follow();
  return out_ != nullptr;
}

void EnvTrace::Write(const char* line) {
  std::lock_guard lock(mutex_);
  Follow();
  if (!out_) return;
  std::fprintf(out_, "%s%s\n", prefix_, line);
  std::fflush(out_);
}

void EnvTrace::Follow() {
  const char* value = std::getenv(variable_);
  const std::string target = value ? value : "";
  if (target == target_) return;
  Close();
  target_ = target;
  if (target.empty()) return;
  out_ = target == "stderr" ? stderr : std::fopen(target.c_str(), "a");
}

void EnvTrace::Close() {
  if (out_ && out_ != stderr) std::fclose(out_);
  out_ = nullptr;
}

}  // namespace platform
