#pragma once
// Collects the lines that the product-file parser logs while it lives.

#include <string>
#include <vector>

#include "engine/product/parse_log.h"

class LogCapture {
 public:
  LogCapture() {
    SetParseLogSink([this](std::string line) { lines_.push_back(std::move(line)); });
  }
  ~LogCapture() { SetParseLogSink(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The lines logged so far, taken out of the capture.
  std::vector<std::string> Take() {
    std::vector<std::string> lines;
    lines.swap(lines_);
    return lines;
  }

 private:
  std::vector<std::string> lines_;
};
