#include "bulk_stream.h"

#include <algorithm>
#include <cstring>

#include <libusb.h>

namespace usb_driver {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kFallbackPacketSize = 64;

}  // namespace

std::uint32_t RequestSize(std::uint32_t need, std::uint16_t packetSize) {
  const std::uint32_t packet = packetSize > 0 ? packetSize : kFallbackPacketSize;
  const std::uint32_t largest = std::max(packet, kMaxBulkRequest / packet * packet);
  const std::uint32_t packets = need / packet + (need % packet ? 1 : 0);
  return std::clamp(packets * packet, packet, largest);
}

std::size_t BulkInStream::Kept() const {
  std::lock_guard lock(mutex_);
  return kept_.size();
}

std::uint32_t BulkInStream::TakeKept(std::uint8_t* out, std::uint32_t wanted) {
  const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(kept_.size(), wanted));
  if (n == 0) return 0;
  std::memcpy(out, kept_.data(), n);
  kept_.erase(kept_.begin(), kept_.begin() + n);
  return n;
}

ReadOutcome BulkInStream::Read(std::uint8_t* out, std::uint32_t wanted, std::uint32_t timeoutMs,
                               const InTransfer& transfer) {
  std::lock_guard lock(mutex_);
  ReadOutcome outcome;
  outcome.moved = TakeKept(out, wanted);
  const bool forever = timeoutMs == kWaitForever;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
  bool first = true;
  while (outcome.moved < wanted) {
    unsigned limit = 0;
    if (!forever) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      // A time-out of 0 still asks once, for what is there at once.
      if (left <= 0 && !first) break;
      limit = static_cast<unsigned>(std::max<long long>(left, 1));
    }
    first = false;
    const std::uint32_t request = RequestSize(wanted - outcome.moved, packetSize_);
    scratch_.resize(request);
    std::uint32_t got = 0;
    outcome.result = transfer(scratch_.data(), request, got, limit);
    got = std::min(got, request);
    const std::uint32_t use = std::min(got, wanted - outcome.moved);
    std::memcpy(out + outcome.moved, scratch_.data(), use);
    outcome.moved += use;
    kept_.insert(kept_.end(), scratch_.begin() + use, scratch_.begin() + got);
    if (outcome.result != LIBUSB_SUCCESS) break;
  }
  return outcome;
}

}  // namespace usb_driver
