#pragma once
// Stands in for the user-I/O thread where tests only need the log: the
// lines posted to it are read back in order. Drain() returns what is queued
// now; every line is posted before the call under test returns, so no wait
// is needed for code that runs on the test thread.

#include <memory>
#include <string>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "platform/target_registry.h"

namespace script_test {

class LogCapture {
 public:
  LogCapture() { SetTargetThread(PT_USER_IO, queue_.handle()); }
  ~LogCapture() { SetTargetThread(PT_USER_IO, platform::kNoHandle); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The log lines posted since the last call, in order; other messages are
  // dropped.
  std::vector<std::string> Drain() {
    std::vector<std::string> lines;
    while (auto message = queue_.queue().TryGet()) {
      if (message->number != WM_LOG_LINE) continue;
      if (auto text = message->Take<WM_LOG_LINE>()) lines.push_back(*text);
    }
    return lines;
  }

 private:
  platform::RegisteredQueue queue_;
};

}  // namespace script_test
