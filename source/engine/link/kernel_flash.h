#pragma once
// Helpers of the flash operation that need no radio.

#include <cstdint>

#include "engine/core/region_list.h"

// The sum of the entry lengths; 0 for a null or empty list.
std::int64_t RegionListTotal(const CRegionList* list);

// True when every entry with bytes to write has a buffer to write them
// from (a null or empty list qualifies).
bool ProgramListHasData(const CRegionList* list);
