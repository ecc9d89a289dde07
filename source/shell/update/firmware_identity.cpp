#include "shell/update/firmware_identity.h"

#include <algorithm>

std::optional<ScanPosition> FindModelMarker(const CSRecordLines& lines, ScanPosition from, std::size_t endLine) {
  endLine = std::min(endLine, lines.Count());
  for (std::size_t i = from.line; i < endLine; ++i) {
    const std::size_t firstByte = i == from.line ? from.byte : 0;
    if (auto b = lines.FindInData(i, kModelMarker, firstByte)) return ScanPosition{i, *b};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindLineWithPrefix(const CSRecordLines& lines, const std::string& prefix,
                                              std::size_t from, std::size_t endLine) {
  endLine = std::min(endLine, lines.Count());
  for (std::size_t i = from; i < endLine; ++i) {
    if (lines.Line(i).compare(0, prefix.size(), prefix) == 0) return i;
  }
  return std::nullopt;
}
