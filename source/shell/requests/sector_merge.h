#pragma once
// Turns a sector selection into the address ranges to read or erase.

#include "engine/core/region_list.h"
#include "engine/core/sector_list.h"

// Appends the ranges of the selected sectors to the range list, in list
// order, and clears their selected flags. A sector that starts where the
// last range ends grows that range; any other sector starts a new one, so a
// selection that is not sorted by address gives several ranges. Ranges never
// wrap past the end of the 32-bit address space.
void MergeSelectedSectors(CRegionList& ranges, SectorList& selection);
