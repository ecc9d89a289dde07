#include "pwl_trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

namespace pellwick {

namespace {

constexpr std::size_t kTraceBufferSize = 1024;

// The sink follows the variable: a changed value opens the new sink.
class TraceSink {
 public:
  void Write(const char* line) {
    std::lock_guard lock(mutex_);
    Follow();
    if (!out_) return;
    *out_ << line << '\n';
    out_->flush();
  }
  bool On() {
    std::lock_guard lock(mutex_);
    Follow();
    return out_ != nullptr;
  }

 private:
  void Follow() {
    const char* value = std::getenv(kTraceVariable);
    std::string target = value ? value : "";
    if (target == target_) return;
    target_ = target;
    out_ = nullptr;
    file_.reset();
    if (target.empty()) return;
    if (target == "stderr") {
      out_ = &std::cerr;
      return;
    }
    file_ = std::make_unique<std::ofstream>(target, std::ios::app);
    if (*file_) out_ = file_.get();
  }

  std::mutex mutex_;
  std::string target_;
  std::unique_ptr<std::ofstream> file_;
  std::ostream* out_ = nullptr;
};

TraceSink& Sink() {
  static TraceSink sink;
  return sink;
}

}  // namespace

void PwlTrace(int level, const char* format, ...) {
  (void)level;
  TraceSink& sink = Sink();
  if (!sink.On()) return;
  char buffer[kTraceBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  sink.Write(buffer);
}

}  // namespace pellwick
