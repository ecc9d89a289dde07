#include "shell/log/log_line_kind.h"

LogLineKind ClassifyLogLine(const std::string& line) {
  if (line.find("Error>") != std::string::npos || line.find("> ERROR: ") != std::string::npos)
    return LogLineKind::Error;
  if (line.find("Warning>") != std::string::npos) return LogLineKind::Warning;
  return LogLineKind::Progress;
}

std::string SingleRowText(const std::string& line) {
  std::string row;
  row.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\r' && i + 1 < line.size() && line[i + 1] == '\n') continue;  // CR LF is one break
    row += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return row;
}
