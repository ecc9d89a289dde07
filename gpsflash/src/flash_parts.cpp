#include "flash_parts.h"

namespace ambrel {
namespace {

constexpr std::uint32_t kKb = 1024;

// Erase regions that recur among the parts, from offset 0 up.
#define BOTTOM_BOOT(big) {{1, 16 * kKb}, {2, 8 * kKb}, {1, 32 * kKb}, {big, 64 * kKb}}
#define TOP_BOOT(big) {{big, 64 * kKb}, {1, 32 * kKb}, {2, 8 * kKb}, {1, 16 * kKb}}

const std::vector<FlashPartRow> kRows = {
    {"AM29LV200B", "AMD", 0x22BF, 0x0001, 0x40000, 4, BOTTOM_BOOT(3), &kDriverA, 0},
    {"AT49BV2048A", "ATMEL", 0x0082, 0x001F, 0x40000, 3, {{1, 16 * kKb}, {2, 8 * kKb}, {1, 224 * kKb}, {0, 0}}, &kDriverA, 0},
    {"TC58FVB400", "TOSHIBA", 0x004C, 0x0098, 0x80000, 4, BOTTOM_BOOT(7), &kDriverA, 0},
    {"AM29LV400BB", "AMD", 0x22BA, 0x0001, 0x80000, 4, BOTTOM_BOOT(7), &kDriverA, 0},
    {"SST39VF400A", "SST", 0x2780, 0x00BF, 0x80000, 1, {{128, 4 * kKb}, {0, 0}, {0, 0}, {0, 0}}, &kDriverA, 0},
    {"M29W400BB", "ST", 0x00EF, 0x0020, 0x80000, 4, BOTTOM_BOOT(7), &kDriverA, 0},
    {"M29W400BT", "ST", 0x00EE, 0x0020, 0x80000, 4, TOP_BOOT(7), &kDriverA, 0},
    {"AT49BV4096A", "ATMEL", 0x1692, 0x161F, 0x80000, 3, {{1, 16 * kKb}, {2, 8 * kKb}, {1, 480 * kKb}, {0, 0}}, &kDriverA, 0},
    {"SST39VF800", "SST", 0x2781, 0x00BF, 0x100000, 1, {{256, 4 * kKb}, {0, 0}, {0, 0}, {0, 0}}, &kDriverA, 0},
    {"AM29LV800BB", "AMD", 0x225B, 0x0001, 0x100000, 4, BOTTOM_BOOT(15), &kDriverA, 0},
    {"AM29LV800BT", "AMD", 0x22DA, 0x0001, 0x100000, 4, TOP_BOOT(15), &kDriverA, 0},
    {"M29W800AB", "ST", 0x005B, 0x0020, 0x100000, 4, BOTTOM_BOOT(15), &kDriverA, 0},
    {"M29W800AT", "ST", 0x00D7, 0x0020, 0x100000, 4, TOP_BOOT(15), &kDriverA, 0},
    {"AM29LV160DB", "AMD", 0x2249, 0x0001, 0x200000, 4, BOTTOM_BOOT(31), &kDriverA, 0},
    {"TC58FVB160FT", "TOSHIBA", 0x0043, 0x0098, 0x200000, 4, BOTTOM_BOOT(31), &kDriverA, 0},
    {"29LV160BE", "FUJITSU", 0x2249, 0x0004, 0x200000, 4, BOTTOM_BOOT(31), &kDriverA, 0},
    {"29LV160TE", "FUJITSU", 0x22C4, 0x0004, 0x200000, 4, TOP_BOOT(31), &kDriverA, 0},
    {"SST39VF160", "SST", 0x2782, 0x00BF, 0x200000, 1, {{512, 4 * kKb}, {0, 0}, {0, 0}, {0, 0}}, &kDriverA, 0},
    {"LH28F800BVE", "SHARP", 0x004B, 0x00B0, 0x100000, 2, {{8, 8 * kKb}, {15, 64 * kKb}, {0, 0}, {0, 0}}, &kDriverB, 0},
    {"28F800B3B", "INTEL", 0x8893, 0x0089, 0x100000, 2, {{8, 8 * kKb}, {15, 64 * kKb}, {0, 0}, {0, 0}}, &kDriverB, 0},
    {"28F800B3T", "INTEL", 0x8892, 0x0089, 0x100000, 2, {{15, 64 * kKb}, {8, 8 * kKb}, {0, 0}, {0, 0}}, &kDriverB, 0},
    {"28F800C3B", "INTEL", 0x88C1, 0x0089, 0x100000, 2, {{8, 8 * kKb}, {15, 64 * kKb}, {0, 0}, {0, 0}}, &kDriverB,
     kUnlockBeforeWriting},
};

#undef BOTTOM_BOOT
#undef TOP_BOOT

}  // namespace

const std::vector<FlashPartRow>& FlashPartTable() { return kRows; }

bool CheckPartRegions(const FlashPartRow& row, FlashPartRecord& record) {
  if (row.regionCount < 1 || row.regionCount > 4) return false;
  record.regions.clear();
  record.totalSectors = 0;
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < row.regionCount; ++i) {
    record.regions.push_back(row.regions[i]);
    record.totalSectors += row.regions[i].sectorCount;
    total += std::uint64_t{row.regions[i].sectorCount} * row.regions[i].sectorSize;
  }
  return total == row.size;
}

bool BuildPartList(const std::vector<FlashPartRow>& rows, std::vector<FlashPartRecord>& parts) {
  parts.clear();
  for (const FlashPartRow& row : rows) {
    FlashPartRecord record;
    record.partName = row.partName;
    record.vendor = row.vendor;
    record.deviceId = row.deviceId;
    record.manufacturerId = row.manufacturerId;
    record.size = row.size;
    record.unlockSectors = (row.flags & kUnlockBeforeWriting) != 0;
    record.driver = *row.driver;
    if (!CheckPartRegions(row, record)) return false;
    parts.push_back(std::move(record));
  }
  return true;
}

const FlashPartRecord* FindPartById(const std::vector<FlashPartRecord>& parts, std::uint16_t manufacturerId,
                                    std::uint16_t deviceId) {
  for (const FlashPartRecord& part : parts) {
    if (part.manufacturerId == manufacturerId && part.deviceId == deviceId) return &part;
  }
  return nullptr;
}

std::string VendorOfManufacturer(const std::vector<FlashPartRecord>& parts, std::uint16_t manufacturerId) {
  for (const FlashPartRecord& part : parts) {
    if (part.manufacturerId == manufacturerId) return part.vendor;
  }
  return {};
}

SectorMap BuildSectorMap(const FlashPartRecord& part) {
  SectorMap map;
  map.sectors.reserve(part.totalSectors);
  std::uint32_t start = 0;
  for (const EraseRegion& region : part.regions) {
    for (std::uint32_t i = 0; i < region.sectorCount; ++i) {
      map.sectors.push_back({start, region.sectorSize});
      start += region.sectorSize;
    }
    if (region.sectorSize / 1024 > map.largestSectorKb) map.largestSectorKb = region.sectorSize / 1024;
  }
  return map;
}

std::optional<std::size_t> SectorMap::FindSector(std::uint32_t offset) const {
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    if (offset >= sectors[i].start && offset - sectors[i].start < sectors[i].size) return i;
  }
  return std::nullopt;
}

}  // namespace ambrel
