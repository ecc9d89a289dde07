#include "shell/script/sector_ranges.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "shell/script/script_error.h"
#include "shell/text/upper_case.h"

namespace {

constexpr const char* kRangeError = "Error> error in sector range specification";

bool IsPrintable(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte <= 0x7E;
}

// The decimal value of a part made of digits only, saturated at the
// largest 64-bit value (every such value lies outside any sector list).
std::uint64_t DecimalValue(const std::string& digits) {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (char c : digits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) return kMax;
    value = value * 10 + digit;
  }
  return value;
}

// The number as it appears in the error line: its value, or its digits
// (without leading zeros) when it does not fit 64 bits.
std::string NumberText(const std::string& digits, std::uint64_t value) {
  if (value != std::numeric_limits<std::uint64_t>::max()) return std::to_string(value);
  const auto first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

// The value of a sector number, or the outside-range error.
std::size_t SectorIndex(const std::string& digits, std::size_t count) {
  const std::uint64_t value = DecimalValue(digits);
  if (value >= count) {
    FailScript("Error> sector " + NumberText(digits, value) + " is outside range of flash memory map");
  }
  return static_cast<std::size_t>(value);
}

void SelectRange(const std::vector<std::string>& parts, std::vector<SectorEntry>& sectors) {
  const std::size_t first = SectorIndex(parts[0], sectors.size());
  if (parts[1].empty()) FailScript(kRangeError);
  const std::size_t last = SectorIndex(parts[1], sectors.size());
  if (first > last) FailScript("Error> sector range must be in ascending order");
  for (std::size_t i = first; i <= last; ++i) sectors[i].selected = 1;
}

void SelectName(const std::string& name, std::vector<SectorEntry>& sectors) {
  const std::string wanted = UpperCase(name);
  for (auto& sector : sectors) {
    if (wanted == "ALL" || UpperCase(sector.name) == wanted) sector.selected = 1;
  }
}

}  // namespace

void ClassifySectorToken(const std::string& spec, std::vector<std::string>& parts, int& kind) {
  kind = SECTOR_SPEC_EMPTY;
  parts.assign(1, std::string());
  for (char c : spec) {
    if (!IsPrintable(c)) FailScript("Error> non-printable character found in token " + spec);
    if (c == '-') {
      if (kind != SECTOR_SPEC_NUMBER) FailScript(kRangeError);
      parts.emplace_back();
      kind = SECTOR_SPEC_RANGE;
    } else if (c >= '0' && c <= '9') {
      if (kind == SECTOR_SPEC_EMPTY) kind = SECTOR_SPEC_NUMBER;
      parts.back().push_back(c);
    } else {
      if (kind == SECTOR_SPEC_RANGE) FailScript(kRangeError);
      kind = SECTOR_SPEC_NAME;
      parts.back().push_back(c);
    }
  }
}

void ParseSectorRanges(const std::vector<std::string>& specs, std::vector<SectorEntry>& sectors) {
  for (auto& sector : sectors) sector.selected = 0;
  std::vector<std::string> parts;
  for (const auto& spec : specs) {
    int kind = SECTOR_SPEC_EMPTY;
    ClassifySectorToken(spec, parts, kind);
    switch (kind) {
      case SECTOR_SPEC_NUMBER:
        sectors[SectorIndex(parts[0], sectors.size())].selected = 1;
        break;
      case SECTOR_SPEC_RANGE:
        SelectRange(parts, sectors);
        break;
      case SECTOR_SPEC_NAME:
        SelectName(parts[0], sectors);
        break;
      default:
        break;
    }
  }
}
