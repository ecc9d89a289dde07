#include "pwl_trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>

namespace pellwick {

namespace {

constexpr std::size_t kTraceBufferSize = 1024;

class TraceSink {
 public:
  TraceSink() {
    const char* target = std::getenv(kTraceVariable);
    if (!target || !*target) return;
    if (std::strcmp(target, "stderr") == 0) {
      out_ = &std::cerr;
      return;
    }
    file_ = std::make_unique<std::ofstream>(target, std::ios::app);
    if (*file_) out_ = file_.get();
  }
  bool On() const { return out_ != nullptr; }
  void Write(const char* line) {
    std::lock_guard lock(mutex_);
    *out_ << line << '\n';
    out_->flush();
  }

 private:
  std::mutex mutex_;
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
