#include "engine/images/allocation_lookup.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "engine/core/log_line.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/quillon_exception.h"

namespace {

std::uint64_t EndOf(const SectorEntry& sector) { return std::uint64_t{sector.address} + sector.size; }

}  // namespace

std::uint32_t AllocationAddress(const std::string& name, const SectorList& sectors) {
  for (const auto& sector : sectors.sectors) {
    if (sector.name == name) return sector.address;
  }
  PostLogLine("Error> No allocation for " + name + " in .qlp file");
  throw QUILLON_ERROR;
}

std::uint32_t AllocationAddress(const std::string& name, const CJobOptions& options) {
  return AllocationAddress(name, options.GetSectorList());
}

std::string AllocationNameAt(std::uint32_t address, const SectorList& sectors) {
  std::string name;
  for (const auto& sector : sectors.sectors) {
    if (address >= sector.address && address < EndOf(sector)) name = sector.name;
  }
  return name;
}

std::string AllocationNameAt(std::uint32_t address, const CJobOptions& options) {
  return AllocationNameAt(address, options.GetSectorList());
}

std::uint32_t FlashBaseAddress(const SectorList& sectors) {
  if (sectors.sectors.empty()) {
    PostLogLine("Error> No product is selected");
    throw QUILLON_ERROR;
  }
  return sectors.sectors.front().address;
}

std::uint32_t FlashBaseAddress(const CJobOptions& options) { return FlashBaseAddress(options.GetSectorList()); }

int FindSectorIndex(int& index, std::uint32_t address, const SectorList& sectors) {
  index = -1;
  for (std::size_t i = 0; i < sectors.sectors.size(); ++i) {
    if (sectors.sectors[i].address > address) break;
    index = static_cast<int>(i);
  }
  if (index < 0) return ADDRESS_OUT_OF_RANGE;
  return address < EndOf(sectors.sectors[static_cast<std::size_t>(index)]) ? 0 : ADDRESS_OUT_OF_RANGE;
}

int FindSectorIndex(int& index, std::uint32_t address, const CJobOptions& options) {
  return FindSectorIndex(index, address, options.GetSectorList());
}

int AllocationRemaining(std::uint32_t& length, std::uint32_t address, int& index,
                        const SectorList& sectors) {
  const int result = FindSectorIndex(index, address, sectors);
  if (result != 0) return result;
  const auto& list = sectors.sectors;
  auto i = static_cast<std::size_t>(index);
  std::uint64_t end = EndOf(list[i]);
  const std::string& name = list[i].name;
  for (++i; i < list.size() && list[i].name == name && list[i].address == end; ++i) end = EndOf(list[i]);
  length = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - address, 0xFFFFFFFFu));
  index = static_cast<int>(i);
  return 0;
}

int AllocationRemaining(std::uint32_t& length, std::uint32_t address, int& index,
                        const CJobOptions& options) {
  return AllocationRemaining(length, address, index, options.GetSectorList());
}

std::uint32_t AllocationSize(const std::string& name, const SectorList& sectors) {
  std::uint64_t size = 0;
  for (const auto& sector : sectors.sectors) {
    if (sector.name == name) size += sector.size;
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
}

std::uint32_t AllocationSize(const std::string& name, const CJobOptions& options) {
  return AllocationSize(name, options.GetSectorList());
}
