#include "engine/processing/sector_selection.h"

#include <algorithm>
#include <set>
#include <vector>

#include "engine/core/buffer_registry.h"

namespace {

bool Overlaps(const SectorEntry& sector, const ImageRegion& region) {
  if (sector.size == 0 || region.length == 0) return false;
  const std::uint64_t sectorEnd = static_cast<std::uint64_t>(sector.address) + sector.size;
  const std::uint64_t regionEnd = static_cast<std::uint64_t>(region.address) + region.length;
  return sector.address < regionEnd && region.address < sectorEnd;
}

}  // namespace

void BuildSelectedSectorList(const SectorList& sectors, CRegionList& eraseList) {
  for (const SectorEntry& sector : sectors.sectors) {
    if (sector.selected == 1) eraseList.Add(sector.address, sector.size);
  }
}

void SelectSectorsFromImage(CRegionList& eraseList, CJobOptions& options, const CRegionList& image) {
  SectorList sectors = options.GetSectorList();
  std::set<std::string> touched;
  for (const SectorEntry& sector : sectors.sectors) {
    for (const ImageRegion& region : image) {
      if (Overlaps(sector, region)) touched.insert(sector.name);
    }
  }
  for (SectorEntry& sector : sectors.sectors) sector.selected = touched.count(sector.name) ? 1 : 0;
  BuildSelectedSectorList(sectors, eraseList);
  options.SetSectorList(sectors);
}

int MagicKeyWanted(const CJobOptions& options) {
  const SectorList sectors = options.GetSectorList();
  if (sectors.magicKeyPartition == SectorList::kAlwaysProgramMagicKey) return 1;
  for (const SectorEntry& sector : sectors.sectors) {
    if (sector.selected == 1 && sector.name == sectors.magicKeyPartition) return 1;
  }
  return 0;
}

bool FindSectorRangeByName(const std::string& name, const CJobOptions& options, SectorRange& range) {
  const SectorList sectors = options.GetSectorList();
  bool found = false;
  range = SectorRange{};
  for (const SectorEntry& sector : sectors.sectors) {
    if (sector.name != name) {
      if (found) break;
      continue;
    }
    if (!found) {
      found = true;
      range.first = sector.address;
      range.sectorSize = sector.size;
      range.count = 1;
    } else if (range.sectorSize != 0) {
      range.count = (sector.address - range.first) / range.sectorSize + 1;
    }
  }
  return found && range.sectorSize != 0;
}

void SplitReadRegionsAtRange(CRegionList& regions, const SectorRange& range) {
  const std::uint64_t cuts[] = {range.first, range.End()};
  std::vector<ImageRegion> result;
  for (const ImageRegion& original : regions) {
    std::vector<ImageRegion> pieces{original};
    for (std::uint64_t cut : cuts) {
      ImageRegion& last = pieces.back();
      const std::uint64_t end = static_cast<std::uint64_t>(last.address) + last.length;
      if (cut <= last.address || cut >= end) continue;
      const auto headLength = static_cast<std::uint32_t>(cut - last.address);
      ImageRegion tail{static_cast<std::uint32_t>(cut), last.length - headLength, nullptr};
      if (last.buffer) tail.buffer = GetBufferRegistry().Allocate(tail.length);
      last.length = headLength;
      pieces.push_back(tail);
    }
    result.insert(result.end(), pieces.begin(), pieces.end());
  }
  std::sort(result.begin(), result.end(),
            [](const ImageRegion& a, const ImageRegion& b) { return a.address < b.address; });
  regions.RemoveAll();
  for (const ImageRegion& region : result) regions.Add(region);
}

