#include "radiosim/flash_memory.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace radiosim {
namespace {

constexpr std::uint8_t kErased = 0xFF;
constexpr std::uint64_t kLargestFlash = 256ull << 20;

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutBe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

std::optional<std::uint64_t> ParseSize(std::string text) {
  std::uint64_t unit = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'k')) unit = 1024;
  if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) unit = 1024 * 1024;
  if (unit != 1) text.pop_back();
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (end == nullptr || *end != '\0' || text[0] == '-') return std::nullopt;
  return value * unit;
}

}  // namespace

FlashError AddressError(std::uint16_t word, std::uint32_t address) {
  FlashError error{word, {}};
  PutBe32(error.details, address);
  return error;
}

FlashError AddressStatusError(std::uint16_t word, std::uint32_t address, std::uint8_t chipStatus) {
  FlashError error = AddressError(word, address);
  error.details.push_back(chipStatus);
  return error;
}

FlashError SectorError(std::uint16_t word, std::uint32_t sector) {
  FlashError error{word, {}};
  PutBe16(error.details, sector);
  return error;
}

FlashError SectorStatusError(std::uint16_t word, std::uint32_t sector, std::uint8_t chipStatus) {
  FlashError error = SectorError(word, sector);
  error.details.push_back(chipStatus);
  return error;
}

FlashMemory::FlashMemory(std::uint32_t base, const std::vector<SectorGroup>& layout) : base_(base) {
  std::uint64_t at = base;
  for (const auto& group : layout) {
    for (std::uint32_t i = 0; i < group.count; ++i) {
      sectors_.push_back({static_cast<std::uint32_t>(at), group.size});
      at += group.size;
    }
  }
  protected_.assign(sectors_.size(), false);
  cells_.assign(static_cast<std::size_t>(at - base), kErased);
}

std::optional<std::size_t> FlashMemory::SectorAt(std::uint32_t address) const {
  auto after = std::upper_bound(sectors_.begin(), sectors_.end(), address,
                                [](std::uint32_t a, const FlashSector& s) { return a < s.address; });
  if (after == sectors_.begin()) return std::nullopt;
  const auto& sector = *(after - 1);
  if (address - sector.address >= sector.size) return std::nullopt;
  return static_cast<std::size_t>(after - 1 - sectors_.begin());
}

bool FlashMemory::Contains(std::uint32_t address, std::uint32_t length) const {
  if (address < base_) return false;
  const std::uint64_t end = static_cast<std::uint64_t>(address) + length;
  return end <= static_cast<std::uint64_t>(base_) + cells_.size();
}

void FlashMemory::SetProtected(std::size_t sector, bool on) {
  if (sector < protected_.size()) protected_[sector] = on;
}

bool FlashMemory::IsProtected(std::size_t sector) const {
  return sector < protected_.size() && protected_[sector];
}

std::optional<FlashError> FlashMemory::Erase(std::uint32_t first, std::uint32_t last, FlashFault fault) {
  if (last < first) return SectorStatusError(kStatusInvalidSequence, 0, kChipReady);
  const auto firstSector = SectorAt(first);
  if (!firstSector) return SectorError(kStatusNoSuchSector, static_cast<std::uint32_t>(sectors_.size()));
  if (sectors_[*firstSector].address != first) return AddressError(kStatusNotSectorBoundary, first);
  const auto lastSector = SectorAt(last);
  if (!lastSector) return SectorError(kStatusNoSuchSector, static_cast<std::uint32_t>(sectors_.size()));
  for (std::size_t s = *firstSector; s <= *lastSector; ++s)
    if (protected_[s] || fault == FlashFault::ProtectedSector)
      return SectorStatusError(kStatusEraseProtected, static_cast<std::uint32_t>(s), kChipProtected);
  if (fault == FlashFault::EraseFailure)
    return SectorStatusError(kStatusEraseFailed, static_cast<std::uint32_t>(*firstSector), kChipEraseError);
  const auto& from = sectors_[*firstSector];
  const auto& to = sectors_[*lastSector];
  std::fill(cells_.begin() + static_cast<long>(Offset(from.address)),
            cells_.begin() + static_cast<long>(Offset(to.address) + to.size), kErased);
  return std::nullopt;
}

std::optional<FlashError> FlashMemory::Program(std::uint32_t address, std::span<const std::uint8_t> data,
                                               FlashFault fault) {
  if (data.empty()) return std::nullopt;
  const auto length = static_cast<std::uint32_t>(data.size());
  if (!Contains(address, length)) {
    const std::uint32_t outside = address < base_ ? address : std::max(address, base_ + Size());
    return AddressStatusError(kStatusWriteFailed, outside, kChipProgramError);
  }
  for (std::uint32_t at = address; at - address < length;) {
    const auto sector = *SectorAt(at);
    if (protected_[sector] || fault == FlashFault::ProtectedSector)
      return AddressStatusError(kStatusProgramProtected, at, kChipProtected);
    at = sectors_[sector].address + sectors_[sector].size;
  }
  if (fault == FlashFault::ProgramFailure) return AddressStatusError(kStatusWriteFailed, address, kChipProgramError);
  auto cell = cells_.begin() + static_cast<long>(Offset(address));
  std::optional<std::uint32_t> mismatch;
  for (std::uint32_t i = 0; i < length; ++i, ++cell) {
    *cell = static_cast<std::uint8_t>(*cell & data[i]);
    if (*cell != data[i] && !mismatch) mismatch = address + i;
  }
  if (fault == FlashFault::VerifyError && !mismatch) mismatch = address;
  if (mismatch) return AddressError(kStatusVerifyFailed, *mismatch);
  return std::nullopt;
}

std::optional<FlashError> FlashMemory::Read(std::uint32_t address, std::uint32_t length,
                                            std::vector<std::uint8_t>& out) const {
  if (!Contains(address, length)) return AddressError(kStatusReadFailed, address);
  out = Contents(address, length);
  return std::nullopt;
}

bool FlashMemory::Load(std::uint32_t address, std::span<const std::uint8_t> data) {
  if (!Contains(address, static_cast<std::uint32_t>(data.size()))) return false;
  std::copy(data.begin(), data.end(), cells_.begin() + static_cast<long>(Offset(address)));
  return true;
}

std::vector<std::uint8_t> FlashMemory::Contents(std::uint32_t address, std::uint32_t length) const {
  if (!Contains(address, length)) return {};
  const auto from = cells_.begin() + static_cast<long>(Offset(address));
  return std::vector<std::uint8_t>(from, from + length);
}

std::optional<std::vector<SectorGroup>> ParseSectorLayout(const std::string& text) {
  if (text.empty() || text.back() == ',') return std::nullopt;
  std::vector<SectorGroup> layout;
  std::uint64_t total = 0;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const auto x = item.find('x', item.compare(0, 2, "0x") == 0 ? 2 : 0);
    if (x == std::string::npos) return std::nullopt;
    const auto size = ParseSize(item.substr(0, x));
    char* end = nullptr;
    const std::string countText = item.substr(x + 1);
    const unsigned long count = std::strtoul(countText.c_str(), &end, 10);
    if (!size || *size == 0 || countText.empty() || *end != '\0' || count == 0) return std::nullopt;
    total += *size * count;
    if (total > kLargestFlash) return std::nullopt;
    layout.push_back({static_cast<std::uint32_t>(*size), static_cast<std::uint32_t>(count)});
  }
  if (layout.empty()) return std::nullopt;
  return layout;
}

}  // namespace radiosim
