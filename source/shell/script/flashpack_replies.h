#pragma once
// The reply texts of FLASHPACK_GET_DETAILS and FLASHPACK_GET_STATS, read
// from a radio's pack set.

#include <string>

#include "lumbrapack/pack_manager.h"

// The pack's name: 50 UTF-16 code units stored most significant byte
// first, up to the first zero unit, as UTF-8.
std::string FlashpackName(const lumbrapack::PackRecord& record);
// "Language", "Font", "Theme", or the type's number.
std::string FlashpackFamily(std::uint32_t type);
// name,family,VV.vv.vv.vv,Lbb.bb.bb,size-in-KiB for each pack, comma-joined.
std::string FlashpackDetailsLine(CPackManager& packs);
// total,used,free bytes of the partition.
std::string FlashpackStatsLine(CPackManager& packs);
