#pragma once
// Where the product-file parser's error and warning lines go: the log of the
// user-I/O thread, which writes and frees each line.

#include <functional>
#include <string>

void PostParseLogLine(std::string line);

// Until the log-line message exists: a process-wide sink for the lines.
void SetParseLogSink(std::function<void(std::string)> sink);
