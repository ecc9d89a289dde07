#include "radiosim/flashing_kernel.h"

#include <array>
#include <cstdio>
#include <iterator>

#include "radiosim/byte_order.h"

namespace radiosim {
namespace {

// Rate codes of the speed switch, shared by both UARTs: the host link's
// working speeds and the GPS chip's rates.
struct SpeedCode {
  std::uint8_t code;
  std::uint32_t rate;
};
constexpr std::array<SpeedCode, 6> kSpeedCodes{{
    {0, 115200}, {1, 230400}, {2, 460800}, {3, 57600}, {5, 38400}, {6, 307200}}};
constexpr std::uint8_t kHostUart = 0;
constexpr std::uint8_t kGpsUart = 1;

std::optional<std::uint32_t> SpeedOfCode(std::uint8_t code) {
  for (const auto& entry : kSpeedCodes)
    if (entry.code == code) return entry.rate;
  return std::nullopt;
}
// Byte 3 of a text reply marks the text that follows.
constexpr std::uint8_t kTextReplyMark = 0x03;
// How far a text runs on without its zero under the long-text fault.
constexpr std::size_t kRunOnText = 600;

bool IsTextReply(std::span<const std::uint8_t> reply) {
  return reply.size() > 4 && reply[0] == 0x03 && reply[1] == 0x84 && reply[3] == kTextReplyMark;
}

}  // namespace

const FlashingKernel::Entry FlashingKernel::kHandlers[] = {
    {0x01, 0x00, &FlashingKernel::Program},
    {0x01, 0x06, &FlashingKernel::ReadFlash},
    {0x01, 0x07, &FlashingKernel::EraseRange},
    {0x03, 0x00, &FlashingKernel::Reset},
    {0x03, 0x01, &FlashingKernel::PassThrough},
    {0x03, 0x03, &FlashingKernel::StatusRequest},
    {0x03, 0x04, &FlashingKernel::TargetName},
    {0x04, 0x00, &FlashingKernel::MagicKeyStart},
    {0x04, 0x01, &FlashingKernel::MagicKeyFinish},
    {0x05, 0x00, &FlashingKernel::SpeedSwitch},
    {0x05, 0x01, &FlashingKernel::SmartFlashSwitch},
    {0x06, 0x00, &FlashingKernel::FreeSpace},
    {0x06, 0x01, &FlashingKernel::CompletionState},
    {0x07, 0x00, &FlashingKernel::FdiRegion},
    {0x07, 0x01, &FlashingKernel::FdiUnit},
};

FlashingKernel::FlashingKernel(const RadioConfig& config, FlashMemory& flash, FaultPlan& faults,
                               Transcript& transcript)
    : config_(config),
      flash_(flash),
      faults_(faults),
      transcript_(transcript),
      smart_(config.smartBufferSize, config.smartWriteRate) {}

int FlashingKernel::RequestId(std::span<const std::uint8_t> request) {
  if (request.size() < 2) return request.empty() ? -1 : request[0] << 8;
  return request[0] << 8 | request[1];
}

KernelOutcome FlashingKernel::Handle(std::span<const std::uint8_t> request, Clock::time_point now) {
  now_ = now;
  Advance(now);
  const auto custom = config_.customReplies.find(std::vector<std::uint8_t>(request.begin(), request.end()));
  if (custom != config_.customReplies.end()) {
    Note("kernel custom request answered");
    return {Text(request, custom->second), std::nullopt, false, false, std::nullopt};
  }
  if (request.size() < 2) return Failure(request, kStatusUnsupportedOpcode);
  bool groupKnown = false;
  for (const auto& entry : kHandlers) {
    if (entry.group != request[0]) continue;
    groupKnown = true;
    if (entry.opcode == request[1]) return (this->*entry.handler)(request);
  }
  return Failure(request, groupKnown ? kStatusUnsupportedOpcode : kStatusUnsupportedGroup);
}

void FlashingKernel::Stop() {
  if (!smart_.Active()) return;
  const std::size_t dropped = smart_.Stop();
  Note("smart flash off, " + std::to_string(dropped) + " queued requests dropped");
}

std::vector<std::uint8_t> FlashingKernel::ReplyHead(std::span<const std::uint8_t> request,
                                                     std::uint8_t status) {
  const std::uint8_t group = request.empty() ? 0 : request[0];
  const std::uint8_t opcode = request.size() < 2 ? 0 : request[1];
  return {group, static_cast<std::uint8_t>(opcode | 0x80), status};
}

KernelOutcome FlashingKernel::Failure(std::span<const std::uint8_t> request, std::uint16_t word) {
  return Failure(request, FlashError{word, {}});
}

KernelOutcome FlashingKernel::Failure(std::span<const std::uint8_t> request, const FlashError& error) {
  status_.Set(error.word, error.details);
  char text[48];
  std::snprintf(text, sizeof text, "kernel failure %04X: ", error.word);
  Note(text + Transcript::Hex(error.details));
  return {ReplyHead(request, 1), std::nullopt, false, false, std::nullopt};
}

KernelOutcome FlashingKernel::Success(std::span<const std::uint8_t> request, std::span<const std::uint8_t> body) {
  auto reply = ReplyHead(request, 0);
  reply.insert(reply.end(), body.begin(), body.end());
  return {std::move(reply), std::nullopt, false, false, std::nullopt};
}

std::vector<std::uint8_t> FlashingKernel::Text(std::span<const std::uint8_t> request,
                                               std::span<const std::uint8_t> reply) {
  std::vector<std::uint8_t> out(reply.begin(), reply.end());
  if (IsTextReply(out) && faults_.Take(FaultKind::LongText, RequestId(request))) {
    Note("fault long-text");
    out.resize(4);
    for (std::size_t i = 0; i < kRunOnText; ++i) out.push_back(static_cast<std::uint8_t>('A' + i % 26));
  }
  return out;
}

KernelOutcome FlashingKernel::Reset(std::span<const std::uint8_t>) {
  return {std::nullopt, std::nullopt, true, false, std::nullopt};
}

KernelOutcome FlashingKernel::StatusRequest(std::span<const std::uint8_t> request) {
  std::vector<std::uint8_t> body;
  AppendBe16(body, status_.word);
  body.insert(body.end(), status_.details.begin(), status_.details.end());
  return Success(request, body);
}

KernelOutcome FlashingKernel::TargetName(std::span<const std::uint8_t> request) {
  return {Text(request, TextReply(config_.targetName)), std::nullopt, false, false, std::nullopt};
}

KernelOutcome FlashingKernel::MagicKeyStart(std::span<const std::uint8_t> request) {
  magicKeyStarted_ = true;
  return Success(request);
}

KernelOutcome FlashingKernel::MagicKeyFinish(std::span<const std::uint8_t> request) {
  if (!magicKeyStarted_) return Failure(request, SectorStatusError(kStatusInvalidSequence, 0, kChipReady));
  magicKeyStarted_ = false;
  ++magicKeys_;
  Note("magic key programmed");
  return Success(request);
}

KernelOutcome FlashingKernel::SpeedSwitch(std::span<const std::uint8_t> request) {
  // 05 00 uart code. UART 0 is the link to the host: no reply is sent, the
  // new speed holds from the next byte. UART 1 is the GPS chip's side: the
  // reply's status says whether the rate was taken.
  if (request.size() < 4 || (request[2] != kHostUart && request[2] != kGpsUart)) {
    status_.Set(kStatusUnsupportedUart);
    return {};
  }
  const std::uint8_t uart = request[2];
  const std::optional<std::uint32_t> rate = SpeedOfCode(request[3]);
  if (uart == kGpsUart) {
    if (!rate) return Failure(request, kStatusUnsupportedBaudRate);
    KernelOutcome outcome = Success(request);
    outcome.uartBRate = *rate;
    return outcome;
  }
  if (!rate) {
    status_.Set(kStatusUnsupportedBaudRate);
    return {};
  }
  return {std::nullopt, *rate, false, false, std::nullopt};
}

KernelOutcome FlashingKernel::PassThrough(std::span<const std::uint8_t> request) {
  KernelOutcome outcome = Success(request);
  outcome.passThrough = true;
  return outcome;
}

}  // namespace radiosim
