#include "shell/update/flash_file_info.h"

#include <cstdint>

namespace {

constexpr std::uint32_t kPointerAddress = 0x100100CC;
constexpr const char* kPointerAddressField = "100100CC";
constexpr std::size_t kMaxLines = 10000;
// Lines tested beyond the one where the version record is expected.
constexpr std::size_t kVersionSearchSlack = 11;

struct PointerScan {
  std::size_t pointerLine;  // the record that holds 0x100100CC
  std::size_t stopLine;     // where the scan stopped
};

// Reads records until one's address field reaches 0x100100CC; the record
// before it holds the pointer, unless the stopping record starts exactly
// there.
std::optional<PointerScan> FindPointerRecord(const CSRecordLines& lines) {
  std::optional<std::size_t> previous;
  for (std::size_t i = 0; i < lines.Count() && i < kMaxLines; ++i) {
    if (!lines.IsDataRecord(i)) continue;
    if (lines.AddressField(i) >= kPointerAddressField) {
      if (*lines.Address(i) == kPointerAddress) return PointerScan{i, i};
      if (!previous) return std::nullopt;
      return PointerScan{*previous, i};
    }
    previous = i;
  }
  return std::nullopt;
}

bool StartsLikeNewFirmwareModel(const std::string& value) { return value.rfind("4E", 0) == 0; }

}  // namespace

std::optional<std::string> ReadFlashFileVersion(const std::string& suPath) {
  CSRecordLines lines;
  if (!lines.Load(suPath)) return std::nullopt;
  const auto scan = FindPointerRecord(lines);
  if (!scan) return std::nullopt;
  const std::uint32_t recordAddress = *lines.Address(scan->pointerLine);
  const std::size_t recordLength = *lines.DataLength(scan->pointerLine);
  if (recordLength == 0) return std::nullopt;
  const auto pointerText = lines.DataTextAcross(scan->pointerLine, kPointerAddress - recordAddress, 8);
  if (!pointerText) return std::nullopt;
  const auto pointer = ParseHex(*pointerText);
  if (!pointer) return std::nullopt;
  const std::uint64_t version = std::uint64_t{*pointer} + kVersionDistance;
  if (version < recordAddress || version > 0xFFFFFFFFu) return std::nullopt;
  const std::size_t offset = static_cast<std::size_t>((version - recordAddress) % recordLength);
  const auto start = static_cast<std::uint32_t>(version - offset);
  // Records of equal length: the version's record is expected k lines after
  // the stop line; it is searched for from the pointer's own record on.
  const std::size_t k = start > kPointerAddress ? (start - kPointerAddress) / recordLength : 0;
  const std::size_t end = scan->stopLine + k + kVersionSearchSlack;
  const std::string field = Hex8(start);
  for (std::size_t i = scan->pointerLine; i < lines.Count() && i < end; ++i) {
    if (lines.AddressField(i) == field) return lines.DataTextAcross(i, offset, kVersionChars);
  }
  return std::nullopt;
}

std::optional<std::string> ReadFlashFileModelCode(const std::string& cpPath) {
  CSRecordLines lines;
  if (!lines.Load(cpPath)) return std::nullopt;
  ScanPosition from{0, 0};
  for (;;) {
    const auto marker = FindModelMarker(lines, from, kMaxLines);
    if (!marker) return std::nullopt;
    const std::size_t recordLength = *lines.DataLength(marker->line);
    const std::uint64_t distance = marker->byte + kModelCodeDistance;
    const std::uint64_t start = *lines.Address(marker->line) + (distance / recordLength) * recordLength;
    if (start <= 0xFFFFFFFFu) {
      const std::string key = lines.Line(marker->line).substr(0, 4) + Hex8(static_cast<std::uint32_t>(start));
      if (auto record = FindLineWithPrefix(lines, key, marker->line, kMaxLines)) {
        const auto value = lines.DataTextAcross(*record, distance % recordLength, kModelCodeChars);
        if (value && StartsLikeNewFirmwareModel(*value)) return value;
      }
    }
    from = ScanPosition{marker->line, marker->byte + 1};
  }
}

std::optional<FirmwareIdentity> GetFlashFileInfo(const std::string& suPath, const std::string& cpPath) {
  auto version = ReadFlashFileVersion(suPath);
  if (!version) return std::nullopt;
  auto model = ReadFlashFileModelCode(cpPath);
  if (!model) return std::nullopt;
  return FirmwareIdentity{std::move(*version), std::move(*model)};
}
