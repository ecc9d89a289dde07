#pragma once
// Turns a product's flash map into the sector list that the settings store
// carries: one entry per sector, numbered in the file's order of flash parts
// and sections (not in address order).

#include "engine/core/sector_list.h"
#include "engine/product/product_record.h"

// The magic key is programmed, by default, when a selected sector carries
// this name.
inline constexpr const char* kDefaultMagicKeyPartition = "CODE";

void CopyProductRecord(const CProductRecord& product, SectorList& list);
