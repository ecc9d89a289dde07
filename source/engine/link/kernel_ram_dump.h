#pragma once
// Helpers of the RAM dump that need no radio: what the running firmware's
// replies mean, and the bounds its region table must keep.

#include <cstddef>
#include <cstdint>
#include <span>

// A RAM region larger than this is not believed: the radio's RAM is far
// smaller, and the size drives an allocation.
inline constexpr std::uint32_t kLargestRamRegion = 64u << 20;

// The engine error of a reply that is not of the expected kind: 75 when
// its byte 2 is 6, else 76.
int UnexpectedRamReply(std::span<const std::uint8_t> reply);

// True when the region's size is not 0, within the bound, and its end
// stays inside the 32-bit address space.
bool RamRegionFits(std::uint32_t start, std::uint32_t size);

// Decodes a read reply into `out` (`length` bytes): an extended frame whose
// 24-bit field at bytes 1..3 is length + 2 carries the data from byte 5;
// a short frame of 4 bytes (low nibble of byte 0 is 2) of the read reply's
// kind (byte 1 0xB3) fills the whole length with its byte 2. Anything else
// gives RAM_DUMP_BAD_READ.
int DecodeRamRead(std::span<const std::uint8_t> reply, std::uint8_t* out, std::uint32_t length);
