#pragma once
// A NOR flash part: erasing sets a sector's bytes to 0xFF, programming can
// only clear bits, and sectors may be locked against both.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "gps_sim/flash_geometry.h"

namespace gps_sim {

struct SimSector {
  std::uint32_t start;
  std::uint32_t size;
};

class NorFlash {
 public:
  explicit NorFlash(const FlashGeometry& geometry);

  const FlashGeometry& Geometry() const { return geometry_; }
  std::uint32_t Size() const { return geometry_.size; }
  const std::vector<SimSector>& Sectors() const { return sectors_; }
  std::optional<std::size_t> SectorAt(std::uint32_t offset) const;

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  // Fills the whole part (a test's starting contents).
  void Fill(const std::vector<std::uint8_t>& contents);

  bool IsLocked(std::size_t sector) const { return locked_[sector]; }
  void SetLocked(std::size_t sector, bool locked) { locked_[sector] = locked; }
  void LockAll(bool locked);

  // False when the sector is locked.
  bool EraseSector(std::size_t sector);
  // Programs data at offset (bits can only be cleared). False when a sector
  // on the way is locked; `mismatch` gets the first offset whose result
  // differs from the data.
  bool Program(std::uint32_t offset, const std::uint8_t* data, std::size_t length,
               std::optional<std::uint32_t>& mismatch);
  // Flips every bit of one byte, as a bad cell would.
  void CorruptByte(std::uint32_t offset);

 private:
  FlashGeometry geometry_;
  std::vector<SimSector> sectors_;
  std::vector<bool> locked_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace gps_sim
