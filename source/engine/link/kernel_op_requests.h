#pragma once
// The flashing kernel's requests of the device operations (flash, smart
// flash, read-back, data-area queries, magic key, reset) and the RAM dump's
// serial-bus short frames for the running firmware: one small function per
// request with its byte layout in view, the poll counts and retries each is
// sent with, and the reply fields the operations read. Multi-byte fields
// are big-endian.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/link/kernel_requests.h"

// ---- flash and erase ---------------------------------------------------------

// 01 07 first last: erase the range, both ends inclusive.
KernelRequest EraseRequest(std::uint32_t first, std::uint32_t last);
inline constexpr int kErasePolls = 3000;
inline constexpr int kEraseRetries = 10;

// 01 00 address length data: program a block of at most 3072 bytes.
inline constexpr std::size_t kProgramHeaderBytes = 8;
inline constexpr std::size_t kMaxProgramBlock = 3072;
void WriteProgramHeader(std::uint8_t* request, std::uint32_t address, std::uint16_t length);
inline constexpr int kProgramPolls = 1500;
inline constexpr int kProgramRetries = 10;

// ---- smart flash ---------------------------------------------------------------

// 05 01 01 / 05 01 00: buffered mode on or off.
inline KernelRequest SmartFlashSwitchRequest(bool on) { return {0x05, 0x01, static_cast<std::uint8_t>(on ? 1 : 0)}; }
inline constexpr int kSmartOnPolls = 1000;
inline constexpr int kSmartOnRetries = 10;
inline constexpr int kSmartOffPolls = 3000;
inline constexpr int kSmartOffRetries = 10;
// 06 00 00: free buffer space, reply [4..7].
inline KernelRequest FreeSpaceRequest() { return {0x06, 0x00, 0x00}; }
inline constexpr std::size_t kFreeSpaceOffset = 4;
inline constexpr int kFreeSpacePolls = 2000;
inline constexpr int kFreeSpaceRetries = 10;
// 01 00 and six zero bytes: the end of the stream.
inline KernelRequest EndOfDataRequest() { return {0x01, 0x00, 0, 0, 0, 0, 0, 0}; }
// 06 01 00 and five zero bytes: completion state at reply [4].
inline KernelRequest CompletionRequest() { return {0x06, 0x01, 0x00, 0, 0, 0, 0, 0}; }
inline constexpr std::size_t kCompletionStateOffset = 4;
inline constexpr std::uint8_t kCompletionBusy = 2;
inline constexpr std::uint8_t kCompletionFailed = 1;
inline constexpr int kCompletionPolls = 2000;
inline constexpr int kCompletionRetries = 10;
inline constexpr int kStreamRetries = 10;

// ---- read-back -----------------------------------------------------------------

// 01 06 address length 01: read a block. Reply [2] status, [7..8] data
// length N, [9] coding, data from [10].
KernelRequest ReadRequest(std::uint32_t address, std::uint16_t length);
inline constexpr std::size_t kReadLengthOffset = 7;
inline constexpr std::size_t kReadCodingOffset = 9;
inline constexpr std::size_t kReadDataOffset = 10;
inline constexpr int kReadPolls = 1000;
inline constexpr int kReadRetries = 3;
inline constexpr int kKernelReadRepeats = 10;
inline constexpr int kRamReadRepeats = 5;
inline constexpr std::uint32_t kSerialReadBlock = 64;
inline constexpr std::uint32_t kUsbReadBlock = 1024;

// 07 00 base unitSize unitCount, zeros to 26 bytes: data-area query.
// Reply [3..4], [5..6]: two values passed back in every unit query.
KernelRequest FdiRegionRequest(std::uint32_t base, std::uint32_t unitSize, std::uint16_t unitCount);
inline constexpr int kFdiRegionPolls = 5000;
inline constexpr int kFdiRegionRetries = 1;
// 07 01 unitAddress unitSize value1 value2, zeros to 30 bytes: unit query.
// Reply [3..6] unit base, [7..10] front length, [11..14] back address,
// [15..18] back length.
KernelRequest FdiUnitRequest(std::uint32_t unitAddress, std::uint32_t unitSize, std::uint16_t value1,
                             std::uint16_t value2);
inline constexpr int kFdiUnitPolls = 1000;
inline constexpr int kFdiUnitRetries = 1;

// ---- small operations ------------------------------------------------------------

inline KernelRequest ResetRequest() { return {0x03, 0x00}; }
inline constexpr int kResetRetries = 3;
inline KernelRequest MagicKeyRequest(std::uint8_t step) { return {0x04, step}; }
inline constexpr int kMagicKeyPolls = 1000;
inline constexpr int kMagicKeyRetries = 3;
inline constexpr int kTargetNamePolls = 3000;
inline constexpr int kTargetNameRetries = 10;
inline constexpr std::size_t kTargetNameOffset = 4;
inline constexpr int kCustomPolls = 1000;
inline constexpr int kCustomRetries = 3;
inline constexpr std::size_t kCustomTextOffset = 4;

// ---- RAM dump frames (built whole, checksum last) ---------------------------------

using RamFrame = std::vector<std::uint8_t>;
// F2 31 00: announce the dump; answered by ACK only.
RamFrame RamAnnounceFrame();
// F2 35 00: number of RAM regions; reply F? B5 count.
RamFrame RamRegionCountFrame();
// F2 32 n: start and size of region n; reply F? B2 start(4) size(4).
RamFrame RamRegionFrame(std::uint8_t region);
// F8 33 address(4) length(3): read up to 512 bytes.
RamFrame RamReadFrame(std::uint32_t address, std::uint32_t length);
inline constexpr std::uint8_t kRamCountReply = 0xB5;
inline constexpr std::uint8_t kRamRegionReply = 0xB2;
inline constexpr std::uint32_t kRamReadBlock = 512;
inline constexpr int kRamAnnounceRetries = 1;

// Reads a big-endian field of the reply; bytes beyond the span read as 0.
std::uint32_t ReadBigEndian(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width);
