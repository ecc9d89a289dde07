#pragma once
// The radio's flash: a sector table over one contiguous address range.
// Erasing sets whole sectors to 0xFF; programming can only clear bits (the
// cell becomes old AND new), and every write is verified, so writing over
// data that was not erased fails verification. Protected sectors refuse
// both. Failures come back as the kernel's status word with its detail
// bytes, laid out as the status request reports them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "radiosim/status_register.h"

namespace radiosim {

// A run of equal sectors in the sector table, e.g. 8 sectors of 8 KiB.
struct SectorGroup {
  std::uint32_t size = 0;
  std::uint32_t count = 0;
};

struct FlashSector {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
};

// A failed flash operation: the status word and its detail bytes.
struct FlashError {
  std::uint16_t word = 0;
  std::vector<std::uint8_t> details;
};

// The faults a flash operation injects when asked (see FaultPlan).
enum class FlashFault { None, EraseFailure, ProgramFailure, VerifyError, ProtectedSector };

class FlashMemory {
 public:
  FlashMemory(std::uint32_t base, const std::vector<SectorGroup>& layout);

  std::uint32_t Base() const { return base_; }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(cells_.size()); }
  const std::vector<FlashSector>& Sectors() const { return sectors_; }
  // The sector holding the address, if it lies in the flash.
  std::optional<std::size_t> SectorAt(std::uint32_t address) const;
  bool Contains(std::uint32_t address, std::uint32_t length) const;

  void SetProtected(std::size_t sector, bool on);
  bool IsProtected(std::size_t sector) const;

  // Erases every sector that the range [first, last] touches; first must
  // be a sector's start.
  std::optional<FlashError> Erase(std::uint32_t first, std::uint32_t last, FlashFault fault = FlashFault::None);
  std::optional<FlashError> Program(std::uint32_t address, std::span<const std::uint8_t> data,
                                    FlashFault fault = FlashFault::None);
  std::optional<FlashError> Read(std::uint32_t address, std::uint32_t length, std::vector<std::uint8_t>& out) const;

  // For tests and the command: puts bytes in as they are (no erase rule);
  // false when the range is not in the flash.
  bool Load(std::uint32_t address, std::span<const std::uint8_t> data);
  // The bytes of a range inside the flash (empty when it is not).
  std::vector<std::uint8_t> Contents(std::uint32_t address, std::uint32_t length) const;
  const std::vector<std::uint8_t>& All() const { return cells_; }

 private:
  std::size_t Offset(std::uint32_t address) const { return address - base_; }

  std::uint32_t base_;
  std::vector<FlashSector> sectors_;
  std::vector<bool> protected_;
  std::vector<std::uint8_t> cells_;
};

// Status words of the flash, with the detail bytes each one carries.
constexpr std::uint16_t kStatusInsufficientMemory = 0x0102;  // (none)
constexpr std::uint16_t kStatusVerifyFailed = 0x0202;        // address
constexpr std::uint16_t kStatusProgramProtected = 0x0204;    // address, status byte
constexpr std::uint16_t kStatusWriteFailed = 0x0205;         // address, status byte
constexpr std::uint16_t kStatusEraseProtected = 0x0208;      // sector (16), status byte
constexpr std::uint16_t kStatusInvalidSequence = 0x0209;     // sector (16), status byte
constexpr std::uint16_t kStatusEraseFailed = 0x020A;         // sector (16), status byte
constexpr std::uint16_t kStatusNoSuchSector = 0x020B;        // sector (16)
constexpr std::uint16_t kStatusNotSectorBoundary = 0x020D;   // address
constexpr std::uint16_t kStatusReadFailed = 0x020E;          // address

// The flash chip's own status register byte that goes with some words.
constexpr std::uint8_t kChipReady = 0x80;
constexpr std::uint8_t kChipEraseError = 0xA0;
constexpr std::uint8_t kChipProgramError = 0x90;
constexpr std::uint8_t kChipProtected = 0x82;

FlashError AddressError(std::uint16_t word, std::uint32_t address);
FlashError AddressStatusError(std::uint16_t word, std::uint32_t address, std::uint8_t chipStatus);
FlashError SectorError(std::uint16_t word, std::uint32_t sector);
FlashError SectorStatusError(std::uint16_t word, std::uint32_t sector, std::uint8_t chipStatus);

// "64Kx64" or "8Kx8,64Kx63": groups of count sectors of a size (a number
// with an optional K or M, or 0x hex); nullopt for a malformed text.
std::optional<std::vector<SectorGroup>> ParseSectorLayout(const std::string& text);

}  // namespace radiosim
