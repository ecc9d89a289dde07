#pragma once
// The catalogue of the NOR flash parts that the library supports, and the
// sector map of the part that was detected.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "target_programs.h"

namespace ambrel {

struct EraseRegion {
  std::uint32_t sectorCount;
  std::uint32_t sectorSize;
};

struct FlashPartRow {
  const char* partName;
  const char* vendor;
  std::uint16_t deviceId;
  std::uint16_t manufacturerId;
  std::uint32_t size;
  std::uint32_t regionCount;
  EraseRegion regions[4];
  const TargetProgram* driver;
  std::uint32_t flags;
};

inline constexpr std::uint32_t kUnlockBeforeWriting = 1u << 0;

struct FlashPartRecord {
  std::string partName;
  std::string vendor;
  std::uint16_t deviceId = 0;
  std::uint16_t manufacturerId = 0;
  std::uint32_t size = 0;
  std::uint32_t totalSectors = 0;
  std::vector<EraseRegion> regions;
  bool unlockSectors = false;
  TargetProgram driver{nullptr, 0};
};

struct SectorEntry {
  std::uint32_t start;
  std::uint32_t size;
};

struct SectorMap {
  std::vector<SectorEntry> sectors;
  std::uint32_t largestSectorKb = 0;

  // The sector that holds the offset, or nullopt beyond the part.
  std::optional<std::size_t> FindSector(std::uint32_t offset) const;
  std::size_t GetSectorCount() const { return sectors.size(); }
  std::uint32_t GetSectorStart(std::size_t index) const { return sectors[index].start; }
};

// The built-in table, 22 rows.
const std::vector<FlashPartRow>& FlashPartTable();

// Builds the region list and sector count; true when the regions add up to
// the part size.
bool CheckPartRegions(const FlashPartRow& row, FlashPartRecord& record);
// One record per row, in table order; false when a row fails its check.
bool BuildPartList(const std::vector<FlashPartRow>& rows, std::vector<FlashPartRecord>& parts);
// The first record with both ids equal.
const FlashPartRecord* FindPartById(const std::vector<FlashPartRecord>& parts, std::uint16_t manufacturerId,
                                    std::uint16_t deviceId);
// The vendor of the first record with the manufacturer id ("" when none).
std::string VendorOfManufacturer(const std::vector<FlashPartRecord>& parts, std::uint16_t manufacturerId);
SectorMap BuildSectorMap(const FlashPartRecord& part);

}  // namespace ambrel
