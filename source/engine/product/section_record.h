#pragma once
// One run of equal sectors inside a flash part, as a product file's
// "address" declaration describes it.

#include <cstdint>
#include <string>

struct CSectionRecord {
  std::uint32_t address = 0;     // start address of the first sector
  std::uint32_t sectorSize = 0;  // bytes per sector
  std::uint32_t numSectors = 0;  // sectors in the run
  std::string type;              // the sector type word, for example "CODE"

  bool operator==(const CSectionRecord&) const = default;
};
