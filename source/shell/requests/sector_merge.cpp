#include "shell/requests/sector_merge.h"

#include <cstdint>
#include <limits>

namespace {

// True when the sector continues the range without leaving the 32-bit space.
bool Continues(const ImageRegion& range, const SectorEntry& sector) {
  const std::uint64_t rangeEnd = std::uint64_t{range.address} + range.length;
  const std::uint64_t merged = std::uint64_t{range.length} + sector.size;
  return sector.address == rangeEnd && merged <= std::numeric_limits<std::uint32_t>::max();
}

}  // namespace

void MergeSelectedSectors(CRegionList& ranges, SectorList& selection) {
  for (SectorEntry& sector : selection.sectors) {
    if (sector.selected != 1) continue;
    if (!ranges.Empty() && Continues(ranges[ranges.Count() - 1], sector)) {
      ranges[ranges.Count() - 1].length += sector.size;
    } else {
      ranges.Add(sector.address, sector.size);
    }
    sector.selected = 0;
  }
}
