// The kernel's data-area (FDI) queries. A data area is a run of equal
// units in the flash; each unit fills from its start and from its end,
// with erased bytes between. The region query (07 00) sets the area up
// and answers two values that every unit query (07 01) must bring back;
// the unit query answers where the used parts of one unit lie, so the
// host reads only those.

#include <cstdio>

#include "radiosim/byte_order.h"
#include "radiosim/flashing_kernel.h"

namespace radiosim {
namespace {

constexpr std::size_t kRegionRequestSize = 26;
constexpr std::size_t kUnitRequestSize = 30;
constexpr std::uint16_t kSessionMark = 0xFD10;
constexpr std::uint8_t kErased = 0xFF;

struct UsedParts {
  std::uint32_t frontLength = 0;
  std::uint32_t backOffset = 0;
  std::uint32_t backLength = 0;
};

// The erased gap is the longest run of 0xFF in the unit; what lies before
// it is the front part, what lies after it the back part.
UsedParts FindUsedParts(const std::vector<std::uint8_t>& unit) {
  const auto size = static_cast<std::uint32_t>(unit.size());
  std::uint32_t bestStart = size, bestLength = 0;
  for (std::uint32_t i = 0; i < size;) {
    if (unit[i] != kErased) {
      ++i;
      continue;
    }
    std::uint32_t j = i;
    while (j < size && unit[j] == kErased) ++j;
    if (j - i > bestLength) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j;
  }
  if (bestLength == 0) return {size, size, 0};
  return {bestStart, bestStart + bestLength, size - bestStart - bestLength};
}

}  // namespace

// 07 00 base (4) unit size (4) unit count (2), zeros. Reply: 07 80 status,
// first value (the unit count), second value (a session mark).
KernelOutcome FlashingKernel::FdiRegion(std::span<const std::uint8_t> request) {
  if (request.size() != kRegionRequestSize)
    return Failure(request, SectorStatusError(kStatusInvalidSequence, 0, kChipReady));
  FdiSession session;
  session.base = GetBe32(request, 2);
  session.unitSize = GetBe32(request, 6);
  session.unitCount = GetBe16(request, 10);
  const std::uint64_t span = static_cast<std::uint64_t>(session.unitSize) * session.unitCount;
  if (session.unitSize == 0 || session.unitCount == 0 || span > 0xFFFFFFFFu ||
      !flash_.Contains(session.base, static_cast<std::uint32_t>(span))) {
    fdi_.reset();
    return Failure(request, AddressError(kStatusNotSectorBoundary, session.base));
  }
  session.first = session.unitCount;
  session.second = static_cast<std::uint16_t>(kSessionMark ^ (session.base >> 16));
  fdi_ = session;
  char text[80];
  std::snprintf(text, sizeof text, "fdi region %08X units %u of %u", session.base, session.unitCount,
                session.unitSize);
  Note(text);
  std::vector<std::uint8_t> body;
  AppendBe16(body, session.first);
  AppendBe16(body, session.second);
  return Success(request, body);
}

// 07 01 unit address (4) unit size (4) the two values, zeros. Reply: 07 81
// status, the unit's base in the kernel's view (4), front length (4), the
// back part's address in the kernel's view (4), back length (4).
KernelOutcome FlashingKernel::FdiUnit(std::span<const std::uint8_t> request) {
  if (request.size() != kUnitRequestSize || !fdi_ || GetBe16(request, 10) != fdi_->first ||
      GetBe16(request, 12) != fdi_->second)
    return Failure(request, SectorStatusError(kStatusInvalidSequence, 0, kChipReady));
  const std::uint32_t address = GetBe32(request, 2);
  const std::uint32_t unitSize = GetBe32(request, 6);
  const std::uint32_t offset = address - fdi_->base;
  if (address < fdi_->base || unitSize != fdi_->unitSize || offset % unitSize != 0 ||
      offset / unitSize >= fdi_->unitCount)
    return Failure(request, AddressError(kStatusNotSectorBoundary, address));
  UsedParts parts = FindUsedParts(flash_.Contents(address, unitSize));
  const std::uint32_t kernelBase = kFdiKernelWindow + offset;
  if (faults_.Take(FaultKind::OversizedFdi, RequestId(request))) {
    Note("fault oversized-fdi");
    parts = {unitSize + 0x1000, unitSize * 4, 0x7FFFFFF0};
  }
  char text[96];
  std::snprintf(text, sizeof text, "fdi unit %08X front %u back %u at +%u", address, parts.frontLength,
                parts.backLength, parts.backOffset);
  Note(text);
  std::vector<std::uint8_t> body;
  AppendBe32(body, kernelBase);
  AppendBe32(body, parts.frontLength);
  AppendBe32(body, kernelBase + parts.backOffset);
  AppendBe32(body, parts.backLength);
  return Success(request, body);
}

}  // namespace radiosim
