#include "pst_trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace usb_driver {
namespace {

constexpr std::size_t kTraceBufferSize = 1024;

// The sink follows the variable: a changed value opens the new sink.
class TraceSink {
 public:
  ~TraceSink() { Close(); }

  void Write(const char* line) {
    std::lock_guard lock(mutex_);
    Follow();
    if (!out_) return;
    std::fprintf(out_, "Quor_PST: %s\n", line);
    std::fflush(out_);
  }
  bool On() {
    std::lock_guard lock(mutex_);
    Follow();
    return out_ != nullptr;
  }

 private:
  void Follow() {
    const char* value = std::getenv(kTraceVariable);
    const std::string target = value ? value : "";
    if (target == target_) return;
    Close();
    target_ = target;
    if (target.empty()) return;
    out_ = target == "stderr" ? stderr : std::fopen(target.c_str(), "a");
  }
  void Close() {
    if (out_ && out_ != stderr) std::fclose(out_);
    out_ = nullptr;
  }

  std::mutex mutex_;
  std::string target_;
  std::FILE* out_ = nullptr;
};

TraceSink& Sink() {
  static TraceSink sink;
  return sink;
}

}  // namespace

void PstTrace(const char* format, ...) {
  TraceSink& sink = Sink();
  if (!sink.On()) return;
  char buffer[kTraceBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  sink.Write(buffer);
}

}  // namespace usb_driver
