#include "gps_sim/nor_flash.h"

#include <algorithm>

namespace gps_sim {

NorFlash::NorFlash(const FlashGeometry& geometry) : geometry_(geometry), bytes_(geometry.size, 0xFF) {
  std::uint32_t start = 0;
  for (const SimSectorRegion& region : geometry.regions) {
    for (std::uint32_t i = 0; i < region.count; ++i) {
      sectors_.push_back({start, region.size});
      start += region.size;
    }
  }
  locked_.assign(sectors_.size(), geometry.lockedAtPowerUp);
}

std::optional<std::size_t> NorFlash::SectorAt(std::uint32_t offset) const {
  for (std::size_t i = 0; i < sectors_.size(); ++i) {
    if (offset >= sectors_[i].start && offset - sectors_[i].start < sectors_[i].size) return i;
  }
  return std::nullopt;
}

void NorFlash::Fill(const std::vector<std::uint8_t>& contents) {
  std::fill(bytes_.begin(), bytes_.end(), 0xFF);
  std::copy_n(contents.begin(), std::min(contents.size(), bytes_.size()), bytes_.begin());
}

void NorFlash::LockAll(bool locked) { std::fill(locked_.begin(), locked_.end(), locked); }

bool NorFlash::EraseSector(std::size_t sector) {
  if (sector >= sectors_.size() || locked_[sector]) return false;
  std::fill_n(bytes_.begin() + sectors_[sector].start, sectors_[sector].size, 0xFF);
  return true;
}

bool NorFlash::Program(std::uint32_t offset, const std::uint8_t* data, std::size_t length,
                       std::optional<std::uint32_t>& mismatch) {
  mismatch.reset();
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint32_t at = offset + static_cast<std::uint32_t>(i);
    const std::optional<std::size_t> sector = SectorAt(at);
    if (!sector || locked_[*sector]) return false;
    bytes_[at] &= data[i];
    if (bytes_[at] != data[i] && !mismatch) mismatch = at;
  }
  return true;
}

void NorFlash::CorruptByte(std::uint32_t offset) {
  if (offset < bytes_.size()) bytes_[offset] = static_cast<std::uint8_t>(~bytes_[offset]);
}

}  // namespace gps_sim
