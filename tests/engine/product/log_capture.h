#pragma once
// Stands in for the user-I/O thread while it lives: collects the log lines
// posted to it.

#include <memory>
#include <string>
#include <vector>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "platform/target_registry.h"

class LogCapture {
 public:
  LogCapture() { SetTargetThread(PT_USER_IO, queue_.handle()); }
  ~LogCapture() { SetTargetThread(PT_USER_IO, platform::kNoHandle); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The lines posted so far, taken out of the queue. Anything else posted
  // to the user-I/O thread shows as a line saying so.
  std::vector<std::string> Take() {
    std::vector<std::string> lines;
    while (std::optional<platform::Message> message = queue_.queue().TryGet()) {
      std::unique_ptr<std::string> line = message->Take<WM_LOG_LINE>();
      if (message->number == WM_LOG_LINE && line) {
        lines.push_back(*line);
      } else {
        lines.push_back("unexpected message " + std::to_string(message->number));
      }
    }
    return lines;
  }

 private:
  platform::RegisteredQueue queue_;
};
