#pragma once
// What the update flash compares: a firmware version (8 bytes) and a model
// code (4 bytes), both as the upper-case hexadecimal text that stands in the
// S-record data fields.

#include <cstddef>
#include <optional>
#include <string>

#include "shell/update/srecord_lines.h"

struct FirmwareIdentity {
  std::string version;    // 16 characters
  std::string modelCode;  // 8 characters
};

inline constexpr const char* kModelMarker = "4449";
inline constexpr std::size_t kVersionChars = 16;
inline constexpr std::size_t kModelCodeChars = 8;
// Distance from a model marker to the model code it belongs to.
inline constexpr std::uint32_t kModelCodeDistance = 33;
// Distance from the version pointer's target to the version.
inline constexpr std::uint32_t kVersionDistance = 0x39;

// Where a scan stands: a line and a data byte in it.
struct ScanPosition {
  std::size_t line = 0;
  std::size_t byte = 0;
};

// The next model marker at a byte-aligned data position of a record, from
// `from` on, in lines before `endLine`.
std::optional<ScanPosition> FindModelMarker(const CSRecordLines& lines, ScanPosition from, std::size_t endLine);
// The first line from `from` before `endLine` that begins with `prefix`.
std::optional<std::size_t> FindLineWithPrefix(const CSRecordLines& lines, const std::string& prefix,
                                              std::size_t from, std::size_t endLine);
