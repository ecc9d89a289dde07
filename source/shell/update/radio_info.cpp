#include "shell/update/radio_info.h"

#include <algorithm>
#include <cstdint>

#include "platform/file_io.h"

namespace {

constexpr const char* kPointerRecord = "S315100100C0";  // holds the version pointer at 0x100100CC
// The record just before the model area; the model-code search starts there.
constexpr std::uint32_t kModelAreaRecord = 0x105CFFF0;
constexpr std::size_t kPointerSearchLines = 65536;
constexpr std::size_t kReadOnLines = 0x30000;
constexpr std::size_t kLinesPerMarker = 65536;
constexpr std::uint32_t kRecordBytes = 16;

bool IsRadioModelCandidate(const std::string& value) {
  return value.rfind("4E", 0) == 0 || value.rfind("524252", 0) == 0 || value.rfind("525044", 0) == 0;
}

std::string RecordPrefix(std::uint32_t address) { return "S315" + Hex8(address); }

// The line of the model area's start record. A complete read-back holds it
// (all 0xFF when erased); one that left erased flash out (the FDI-enhanced
// read-back of smart flashing skips the unused parts of the data area's
// units) may not, and there the search starts at the first record past it.
std::optional<std::size_t> FindModelAreaStart(const CSRecordLines& lines, std::size_t from, std::size_t endLine) {
  endLine = std::min(endLine, lines.Count());
  for (std::size_t i = from; i < endLine; ++i) {
    if (lines.Line(i).rfind("S315", 0) != 0) continue;
    const auto address = lines.Address(i);
    if (address && *address >= kModelAreaRecord) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ReadVersion(const CSRecordLines& lines, std::size_t pointerLine) {
  const auto pointer = ParseHex(lines.DataText(pointerLine, 12, 8));
  if (!pointer) return std::nullopt;
  const std::uint64_t version = std::uint64_t{*pointer} + kVersionDistance;
  if (version > 0xFFFFFFFFu) return std::nullopt;
  const auto offset = static_cast<std::uint32_t>(version % kRecordBytes);
  const auto record = FindLineWithPrefix(lines, RecordPrefix(static_cast<std::uint32_t>(version) - offset),
                                         pointerLine, pointerLine + kReadOnLines);
  if (!record) return std::nullopt;
  return lines.DataTextAcross(*record, offset, kVersionChars);
}

std::optional<std::string> ReadModelCode(const CSRecordLines& lines, std::size_t fromLine) {
  ScanPosition from{fromLine, 0};
  for (;;) {
    const std::size_t endLine = from.line + kLinesPerMarker;
    const auto marker = FindModelMarker(lines, from, endLine);
    if (!marker) return std::nullopt;
    const std::uint64_t model = std::uint64_t{*lines.Address(marker->line)} + marker->byte + kModelCodeDistance;
    if (model <= 0xFFFFFFFFu) {
      const auto offset = static_cast<std::uint32_t>(model % kRecordBytes);
      const auto record = FindLineWithPrefix(lines, RecordPrefix(static_cast<std::uint32_t>(model) - offset),
                                             marker->line, endLine);
      if (record) {
        const auto value = lines.DataTextAcross(*record, offset, kModelCodeChars);
        if (value && IsRadioModelCandidate(*value)) return value;
      }
    }
    from = ScanPosition{marker->line, marker->byte + 1};
  }
}

}  // namespace

std::optional<FirmwareIdentity> ReadRadioInfo(const std::string& readBackPath) {
  CSRecordLines lines;
  if (!lines.Load(readBackPath)) return std::nullopt;
  const auto pointerLine = FindLineWithPrefix(lines, kPointerRecord, 0, kPointerSearchLines);
  if (!pointerLine) return std::nullopt;
  auto version = ReadVersion(lines, *pointerLine);
  if (!version) return std::nullopt;
  const auto modelArea = FindModelAreaStart(lines, *pointerLine, *pointerLine + kReadOnLines);
  if (!modelArea) return std::nullopt;
  auto model = ReadModelCode(lines, *modelArea);
  if (!model) return std::nullopt;
  return FirmwareIdentity{std::move(*version), std::move(*model)};
}

std::optional<FirmwareIdentity> GetRadioInfo(const std::string& readBackPath) {
  auto info = ReadRadioInfo(readBackPath);
  platform::RemoveFile(readBackPath);
  return info;
}
