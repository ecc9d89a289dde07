// The kernel's flash requests: program (01 00), read (01 06), erase
// (01 07), and the buffered smart-flash mode (05 01, 06 00, 06 01).

#include <algorithm>
#include <cstdio>

#include "radiosim/byte_order.h"
#include "radiosim/flashing_kernel.h"

namespace radiosim {
namespace {

constexpr std::size_t kProgramHeader = 8;
constexpr std::size_t kMaxProgramData = 3072;
constexpr std::size_t kReadRequestSize = 9;
constexpr std::uint32_t kMaxReadLength = 4096;
constexpr std::size_t kEraseRequestSize = 10;
constexpr std::uint8_t kCodingRaw = 0;
constexpr std::uint8_t kCodingRun = 1;
// Bit 0 of the read request's last byte lets the kernel send a run.
constexpr std::uint8_t kReadMayRun = 0x01;

std::string Hex32(std::uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

bool AllEqual(const std::vector<std::uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b == bytes.front(); });
}

}  // namespace

FlashFault FlashingKernel::TakeFlashFault(int request) {
  struct Mapping {
    FaultKind kind;
    FlashFault fault;
  };
  static constexpr Mapping kFaults[] = {
      {FaultKind::EraseFailure, FlashFault::EraseFailure},
      {FaultKind::ProgramFailure, FlashFault::ProgramFailure},
      {FaultKind::VerifyError, FlashFault::VerifyError},
      {FaultKind::ProtectedSector, FlashFault::ProtectedSector},
  };
  for (const auto& m : kFaults) {
    if (m.fault == FlashFault::EraseFailure && request != 0x0107) continue;
    if ((m.fault == FlashFault::ProgramFailure || m.fault == FlashFault::VerifyError) && request != 0x0100) continue;
    if (faults_.Take(m.kind, request)) {
      Note(std::string("fault ") + FaultName(m.kind));
      return m.fault;
    }
  }
  return FlashFault::None;
}

// Carries out one program or erase request on the flash.
std::optional<FlashError> FlashingKernel::WriteFlashRequest(std::span<const std::uint8_t> request) {
  const int id = RequestId(request);
  if (id == 0x0107) {
    if (request.size() != kEraseRequestSize) return SectorStatusError(kStatusInvalidSequence, 0, kChipReady);
    const std::uint32_t first = GetBe32(request, 2);
    const std::uint32_t last = GetBe32(request, 6);
    Note("flash erase " + Hex32(first) + ".." + Hex32(last));
    return flash_.Erase(first, last, TakeFlashFault(id));
  }
  if (request.size() < kProgramHeader) return SectorStatusError(kStatusInvalidSequence, 0, kChipReady);
  const std::uint32_t address = GetBe32(request, 2);
  const std::size_t length = GetBe16(request, 6);
  if (length > kMaxProgramData || request.size() != kProgramHeader + length)
    return SectorStatusError(kStatusInvalidSequence, 0, kChipReady);
  if (length == 0) return std::nullopt;
  Note("flash program " + Hex32(address) + " " + std::to_string(length));
  return flash_.Program(address, request.subspan(kProgramHeader), TakeFlashFault(id));
}

// A queued request written from the smart-flash buffer; a failure is kept
// in the status register for the status request after the stream.
std::optional<FlashError> FlashingKernel::WriteQueued(std::span<const std::uint8_t> request) {
  auto error = WriteFlashRequest(request);
  if (error) {
    status_.Set(error->word, error->details);
    char text[64];
    std::snprintf(text, sizeof text, "smart flash failed %04X: ", error->word);
    Note(text + Transcript::Hex(error->details));
  }
  return error;
}

void FlashingKernel::Advance(Clock::time_point now) {
  if (!smart_.Active()) return;
  smart_.Advance(now, [this](std::span<const std::uint8_t> r) { return WriteQueued(r); });
}

KernelOutcome FlashingKernel::QueueSmart(std::span<const std::uint8_t> request) {
  const bool fits = smart_.Queue(request, now_, [this](std::span<const std::uint8_t> r) { return WriteQueued(r); });
  if (!fits) {
    status_.Set(kStatusInsufficientMemory);
    Note("smart flash buffer overrun by a request of " + std::to_string(request.size()) + " bytes");
  }
  if (SmartFlashEngine::IsEndOfData(request)) Note("smart flash end of data");
  return {};
}

KernelOutcome FlashingKernel::Program(std::span<const std::uint8_t> request) {
  if (smart_.Active()) return QueueSmart(request);
  if (auto error = WriteFlashRequest(request)) return Failure(request, *error);
  return Success(request);
}

KernelOutcome FlashingKernel::EraseRange(std::span<const std::uint8_t> request) {
  if (smart_.Active()) return QueueSmart(request);
  if (auto error = WriteFlashRequest(request)) return Failure(request, *error);
  return Success(request);
}

// Reply: 01 86 status, address (4), N (2), coding, data.
KernelOutcome FlashingKernel::ReadFlash(std::span<const std::uint8_t> request) {
  if (request.size() != kReadRequestSize) return Failure(request, SectorStatusError(kStatusInvalidSequence, 0, kChipReady));
  const std::uint32_t address = GetBe32(request, 2);
  const std::uint32_t length = GetBe16(request, 6);
  if (length > kMaxReadLength) return Failure(request, kStatusInsufficientMemory);
  std::vector<std::uint8_t> data;
  if (auto error = flash_.Read(address, length, data)) return Failure(request, *error);
  std::vector<std::uint8_t> body;
  AppendBe32(body, address);
  if (faults_.Take(FaultKind::WrongReadLength, RequestId(request)) && !data.empty()) {
    Note("fault wrong-read-length");
    data.pop_back();
  } else if ((request[8] & kReadMayRun) != 0 && data.size() > 3 && AllEqual(data)) {
    AppendBe16(body, 3);
    body.push_back(kCodingRun);
    body.push_back(data.front());
    AppendBe16(body, length);
    Note("flash read " + Hex32(address) + " " + std::to_string(length) + " run");
    return Success(request, body);
  }
  AppendBe16(body, static_cast<std::uint32_t>(data.size()));
  body.push_back(kCodingRaw);
  body.insert(body.end(), data.begin(), data.end());
  Note("flash read " + Hex32(address) + " " + std::to_string(length) + " raw");
  return Success(request, body);
}

KernelOutcome FlashingKernel::SmartFlashSwitch(std::span<const std::uint8_t> request) {
  if (request.size() < 3 || request[2] > 1) return Failure(request, kStatusUnsupportedOpcode);
  if (request[2] == 1) {
    smart_.Start(now_);
    Note("smart flash on, buffer " + std::to_string(smart_.BufferSize()));
  } else {
    Stop();
  }
  return Success(request);
}

// Reply: 06 80 status, 00, free bytes (4).
KernelOutcome FlashingKernel::FreeSpace(std::span<const std::uint8_t> request) {
  const bool stalled = smart_.Active() && faults_.Take(FaultKind::Stall, RequestId(request));
  if (stalled) Note("fault stall");
  smart_.Hold(stalled);
  Advance(now_);
  std::vector<std::uint8_t> body{0};
  AppendBe32(body, smart_.Active() ? smart_.Free() : smart_.BufferSize());
  return Success(request, body);
}

// Reply: 06 81 status, 00, state (2 writing, 1 failed, 0 done).
KernelOutcome FlashingKernel::CompletionState(std::span<const std::uint8_t> request) {
  auto state = smart_.Active() ? smart_.State() : SmartFlashEngine::Completion::Done;
  std::vector<std::uint8_t> body{0, static_cast<std::uint8_t>(state)};
  return Success(request, body);
}

}  // namespace radiosim
