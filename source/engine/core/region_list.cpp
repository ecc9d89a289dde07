#include "engine/core/region_list.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "engine/core/buffer_registry.h"

namespace {

// Each distinct non-null buffer of the list once, with the greatest length
// that any region gives it.
std::map<std::uint8_t*, std::uint32_t> DistinctBuffers(const CRegionList& list) {
  std::map<std::uint8_t*, std::uint32_t> buffers;
  for (const auto& region : list) {
    if (region.buffer == nullptr) continue;
    auto& length = buffers[region.buffer];
    length = std::max(length, region.length);
  }
  return buffers;
}

}  // namespace

void ReleaseRegionList(CRegionList* list) {
  if (list == nullptr) return;
  auto& registry = GetBufferRegistry();
  for (const auto& [buffer, length] : DistinctBuffers(*list)) {
    (void)length;
    registry.Release(buffer);
  }
  delete list;
}

RegionListPtr MakeRegionList() { return RegionListPtr(new CRegionList()); }

RegionListPtr DuplicateRegionList(const CRegionList& list) {
  auto& registry = GetBufferRegistry();
  RegionListPtr copy = MakeRegionList();
  std::map<std::uint8_t*, std::uint8_t*> copies;
  for (const auto& [buffer, length] : DistinctBuffers(list)) {
    std::uint8_t* fresh = registry.Allocate(length);
    if (length > 0) std::memcpy(fresh, buffer, length);
    copies[buffer] = fresh;
  }
  for (const auto& region : list) {
    copy->Add(region.address, region.length, region.buffer ? copies[region.buffer] : nullptr);
  }
  return copy;
}

RegionListPtr ShareRegionList(const CRegionList& list) {
  auto& registry = GetBufferRegistry();
  RegionListPtr copy = MakeRegionList();
  for (const auto& [buffer, length] : DistinctBuffers(list)) {
    (void)length;
    registry.AddRef(buffer);
  }
  for (const auto& region : list) copy->Add(region);
  return copy;
}
