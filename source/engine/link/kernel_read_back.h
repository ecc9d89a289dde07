#pragma once
// Helpers of the read-back operations that need no radio: decoding a read
// reply, telling data-area entries from plain ones, and checking the used
// parts of a data-area unit that the kernel reports.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/core/region_list.h"
#include "engine/link/kernel.h"

// Decodes the data of a read reply into `out` (`asked` bytes): coding 0
// carries N raw bytes, coding 1 with N = 3 a byte value and a 16-bit count.
// The radio's length must be the one asked (N for coding 0, the count for
// coding 1) and lie within the reply; anything else gives
// KERNEL_ERROR_READ_DECODE_FAILED and leaves `out` alone.
int DecodeReadReply(std::span<const std::uint8_t> reply, std::uint8_t* out, std::uint32_t asked);

// True when the entry lies in the data area (all three values nonzero, the
// unit count within 16 bits) and is a whole number of its units.
bool IsFdiEntry(const ImageRegion& entry, const FdiRegion& area);

// The used parts of one unit as the unit query reports them.
struct FdiUnitParts {
  std::uint32_t kernelBase = 0;   // the unit's base as the kernel sees it
  std::uint32_t frontLength = 0;  // used bytes at the unit's start
  std::uint32_t backAddress = 0;  // where the used part at the unit's end begins
  std::uint32_t backLength = 0;
};
// True when both parts lie inside the unit and do not overlap, so they can
// drive a read; the back part's offset in the unit goes to `backOffset`.
bool FdiPartsFitUnit(const FdiUnitParts& parts, std::uint32_t unitSize, std::uint32_t& backOffset);

// Releases each distinct buffer of the list once in the registry and
// clears the pointers (the entries stay).
void ReleaseListBuffers(CRegionList& list);
