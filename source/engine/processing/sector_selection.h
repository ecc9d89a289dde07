#pragma once
// The sector choices that the flash, erase, reverse-flash and flashpack
// starters make from a job's options: the user's selection, whole
// partitions touched by an image, the magic-key rule, the CODEPLUG range
// and the read regions cut at its bounds.

#include <cstdint>
#include <string>

#include "engine/core/job_options.h"
#include "engine/core/region_list.h"

// Appends every selected sector as {address, size, no buffer}.
void BuildSelectedSectorList(const SectorList& sectors, CRegionList& eraseList);
// Selects every sector whose name is the name of a sector that overlaps the
// image (a partition touched by the image is erased and written whole),
// appends the selected sectors to the erase list in sector order and writes
// the selection back into the options.
void SelectSectorsFromImage(CRegionList& eraseList, CJobOptions& options, const CRegionList& image);
// 1 when the magic-key partition is "ALWAYS" or a selected sector carries
// its name; else 0.
int MagicKeyWanted(const CJobOptions& options);

struct SectorRange {
  std::uint32_t first = 0;
  std::uint32_t sectorSize = 0;
  std::uint32_t count = 0;
  std::uint64_t End() const { return first + static_cast<std::uint64_t>(sectorSize) * count; }
};
// The run of sectors with the name: the first one's address and size, and
// the count up to the last of the run. False when there is none, or its
// size is 0.
bool FindSectorRangeByName(const std::string& name, const CJobOptions& options, SectorRange& range);
// Cuts every read region that crosses the start or the end of the range at
// that address. The piece behind a cut gets a new registry buffer of its
// own; the regions stay in address order.
void SplitReadRegionsAtRange(CRegionList& regions, const SectorRange& range);

