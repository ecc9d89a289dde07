#include "radiosim/flashing_kernel.h"

#include <array>
#include <iterator>

namespace radiosim {
namespace {

constexpr std::array<std::uint32_t, 3> kSpeedByCode{115200, 230400, 460800};
// Byte 3 of a text reply (the target name) marks the text that follows.
constexpr std::uint8_t kTextReplyMark = 0x03;

}  // namespace

const FlashingKernel::Entry FlashingKernel::kHandlers[] = {
    {0x03, 0x00, &FlashingKernel::Reset},
    {0x03, 0x03, &FlashingKernel::StatusRequest},
    {0x03, 0x04, &FlashingKernel::TargetName},
    {0x05, 0x00, &FlashingKernel::SpeedSwitch},
};

FlashingKernel::FlashingKernel(std::string targetName) : targetName_(std::move(targetName)) {}

int FlashingKernel::RequestId(std::span<const std::uint8_t> request) {
  if (request.size() < 2) return request.empty() ? -1 : request[0] << 8;
  return request[0] << 8 | request[1];
}

KernelOutcome FlashingKernel::Handle(std::span<const std::uint8_t> request) {
  if (request.size() < 2) return Failure(request, kStatusUnsupportedOpcode);
  bool groupKnown = false;
  for (const auto& entry : kHandlers) {
    if (entry.group != request[0]) continue;
    groupKnown = true;
    if (entry.opcode == request[1]) return (this->*entry.handler)(request);
  }
  return Failure(request, groupKnown ? kStatusUnsupportedOpcode : kStatusUnsupportedGroup);
}

std::vector<std::uint8_t> FlashingKernel::ReplyHead(std::span<const std::uint8_t> request,
                                                     std::uint8_t status) {
  const std::uint8_t group = request.empty() ? 0 : request[0];
  const std::uint8_t opcode = request.size() < 2 ? 0 : request[1];
  return {group, static_cast<std::uint8_t>(opcode | 0x80), status};
}

KernelOutcome FlashingKernel::Failure(std::span<const std::uint8_t> request, std::uint16_t word) {
  status_.Set(word);
  return {ReplyHead(request, 1), std::nullopt, false};
}

KernelOutcome FlashingKernel::Reset(std::span<const std::uint8_t>) {
  return {std::nullopt, std::nullopt, true};
}

KernelOutcome FlashingKernel::StatusRequest(std::span<const std::uint8_t> request) {
  auto reply = ReplyHead(request, 0);
  reply.push_back(static_cast<std::uint8_t>(status_.word >> 8));
  reply.push_back(static_cast<std::uint8_t>(status_.word));
  reply.insert(reply.end(), status_.details.begin(), status_.details.end());
  return {std::move(reply), std::nullopt, false};
}

KernelOutcome FlashingKernel::TargetName(std::span<const std::uint8_t> request) {
  auto reply = ReplyHead(request, 0);
  reply.push_back(kTextReplyMark);
  reply.insert(reply.end(), targetName_.begin(), targetName_.end());
  reply.push_back(0);
  return {std::move(reply), std::nullopt, false};
}

KernelOutcome FlashingKernel::SpeedSwitch(std::span<const std::uint8_t> request) {
  // 05 00 uart code: UART 0 is the link to the host; no reply is sent.
  if (request.size() < 4 || request[2] != 0) {
    status_.Set(kStatusUnsupportedUart);
    return {};
  }
  if (request[3] >= kSpeedByCode.size()) {
    status_.Set(kStatusUnsupportedBaudRate);
    return {};
  }
  return {std::nullopt, kSpeedByCode[request[3]], false};
}

}  // namespace radiosim
