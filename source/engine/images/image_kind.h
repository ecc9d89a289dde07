#pragma once
// The kinds of image file that the loader tells apart by the data of their
// S0 header records, and where each kind is placed.

#include <cstdint>
#include <string>

#include "engine/core/sector_list.h"

enum class ImageKind { Plain, FlashPack, ThemePack, Csd };

// The kind named by the beginning of a header's data (compared byte by
// byte, case-sensitive); Plain for anything else.
ImageKind ImageKindOfHeader(const std::uint8_t* data, std::uint32_t length);

// Plain images keep their addresses; the other kinds are moved into an
// allocation.
bool IsRelocatedKind(ImageKind kind);

// The allocation that receives the kind: "FLASHPACK", "THEMEPACK" when the
// product has such an allocation (else "FLASHPACK"), "CSD"; empty for Plain.
std::string TargetAllocation(ImageKind kind, const SectorList& sectors);

// 1 for the kinds that hold flashpacks (flashpack and theme pack), else 0.
int FlashpackFlag(ImageKind kind);
