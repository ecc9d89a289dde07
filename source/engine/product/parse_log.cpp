#include "engine/product/parse_log.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex sinkMutex;
std::function<void(std::string)> sink;
}  // namespace

void SetParseLogSink(std::function<void(std::string)> newSink) {
  std::lock_guard lock(sinkMutex);
  sink = std::move(newSink);
}

void PostParseLogLine(std::string line) {
  std::lock_guard lock(sinkMutex);
  if (sink) {
    sink(std::move(line));
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}
