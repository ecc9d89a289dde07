#include "radiosim/application_firmware.h"

#include <algorithm>
#include <cstdio>

#include "radiosim/byte_order.h"

namespace radiosim {
namespace {

constexpr std::uint8_t kAnnounce = 0x31;
constexpr std::uint8_t kRegionQuery = 0x32;
constexpr std::uint8_t kRead = 0x33;
constexpr std::uint8_t kCountQuery = 0x35;
constexpr std::uint8_t kCountReply = 0xB5;
constexpr std::uint8_t kRegionReply = 0xB2;
constexpr std::uint8_t kReadReply = 0xB3;
constexpr std::uint8_t kRefusal = 0xBF;
constexpr std::uint8_t kRefusedCode = 0x06;
constexpr std::uint32_t kMaxRead = 512;
constexpr std::size_t kReadMessageSize = 8;
constexpr std::uint32_t kOversizedRegion = 0xFFFFFF00;

std::vector<std::uint8_t> FillPattern(const RamRegionSpec& spec) {
  std::vector<std::uint8_t> bytes(spec.size, 0);
  for (std::uint32_t i = 0; i < spec.size / 2; ++i)
    bytes[i] = static_cast<std::uint8_t>((spec.start + i) * 13 + (i >> 8));
  return bytes;
}

}  // namespace

std::vector<std::uint8_t> EncodeShortFrame(std::span<const std::uint8_t> message) {
  std::vector<std::uint8_t> frame{static_cast<std::uint8_t>(0xF0 | message.size())};
  frame.insert(frame.end(), message.begin(), message.end());
  frame.push_back(FrameChecksum(frame));
  return frame;
}

ApplicationFirmware::ApplicationFirmware(const std::vector<RamRegionSpec>& regions, FaultPlan& faults,
                                         Transcript& transcript)
    : faults_(faults), transcript_(transcript) {
  for (const auto& spec : regions) regions_.push_back({spec.start, FillPattern(spec)});
}

int ApplicationFirmware::RequestId(std::span<const std::uint8_t> message) {
  if (message.empty()) return -1;
  if (message[0] == kRead) return kRead << 8;
  return message[0] << 8 | (message.size() > 1 ? message[1] : 0);
}

std::vector<std::uint8_t> ApplicationFirmware::Handle(const FrameResult& frame) {
  if (frame.kind == FrameResult::Kind::Malformed) {
    transcript_.Add("firmware nak: " + frame.why);
    return {kNak};
  }
  if (frame.kind == FrameResult::Kind::Extended) {
    transcript_.Add("firmware nak: extended frame " + Transcript::Hex(frame.payload));
    return {kNak};
  }
  transcript_.Add("firmware request " + Transcript::Hex(frame.payload));
  std::vector<std::uint8_t> out{kAck};
  auto reply = Answer(frame.payload);
  if (!reply.empty()) transcript_.Add("firmware reply " + Transcript::Hex(reply));
  out.insert(out.end(), reply.begin(), reply.end());
  return out;
}

std::vector<std::uint8_t> ApplicationFirmware::Answer(std::span<const std::uint8_t> message) {
  switch (message[0]) {
    case kAnnounce:
      ++announced_;
      transcript_.Add("firmware ram dump announced");
      return {};
    case kCountQuery: return RegionCount();
    case kRegionQuery: return RegionInfo(message);
    case kRead: return ReadRam(message);
    default: return Refusal("unknown request");
  }
}

std::vector<std::uint8_t> ApplicationFirmware::Refusal(const char* why) {
  transcript_.Add(std::string("firmware refused: ") + why);
  const std::uint8_t message[] = {kRefusal, kRefusedCode};
  return EncodeShortFrame(message);
}

std::vector<std::uint8_t> ApplicationFirmware::RegionCount() {
  const std::uint8_t message[] = {kCountReply, static_cast<std::uint8_t>(regions_.size())};
  return EncodeShortFrame(message);
}

std::vector<std::uint8_t> ApplicationFirmware::RegionInfo(std::span<const std::uint8_t> message) {
  if (message.size() < 2) return Refusal("region query without a number");
  const std::size_t n = message[1];
  if (faults_.Take(FaultKind::RefusedRegion, RequestId(message))) {
    transcript_.Add("fault refused-region");
    return Refusal("region refused");
  }
  if (n >= regions_.size()) return Refusal("no such region");
  std::uint32_t size = static_cast<std::uint32_t>(regions_[n].bytes.size());
  if (faults_.Take(FaultKind::OversizedRegion, RequestId(message))) {
    transcript_.Add("fault oversized-region");
    size = kOversizedRegion;
  }
  std::vector<std::uint8_t> reply{kRegionReply};
  AppendBe32(reply, regions_[n].start);
  AppendBe32(reply, size);
  return EncodeShortFrame(reply);
}

std::vector<std::uint8_t> ApplicationFirmware::ReadRam(std::span<const std::uint8_t> message) {
  if (message.size() != kReadMessageSize) return Refusal("malformed read");
  const std::uint32_t address = GetBe32(message, 1);
  const std::uint32_t length = GetBe24(message, 5);
  if (faults_.Take(FaultKind::RefusedRegion, RequestId(message))) {
    transcript_.Add("fault refused-region");
    return Refusal("read refused");
  }
  if (length == 0 || length > kMaxRead) return Refusal("read length");
  const auto index = RegionFor(address, length);
  if (!index) return Refusal("read outside the RAM regions");
  const Region& region = regions_[*index];
  const auto from = region.bytes.begin() + (address - region.start);
  std::vector<std::uint8_t> data(from, from + length);
  if (faults_.Take(FaultKind::WrongReadLength, RequestId(message))) {
    transcript_.Add("fault wrong-read-length");
    data.pop_back();
  } else if (length > 3 && std::all_of(data.begin(), data.end(), [&](std::uint8_t b) { return b == data[0]; })) {
    const std::uint8_t run[] = {kReadReply, data[0]};
    return EncodeShortFrame(run);
  }
  // FF, then (data + 2) as 24 bits: the reply byte, the data and the checksum follow.
  std::vector<std::uint8_t> frame{0xFF};
  AppendBe24(frame, static_cast<std::uint32_t>(data.size() + 2));
  frame.push_back(kReadReply);
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(FrameChecksum(frame));
  return frame;
}

std::optional<std::size_t> ApplicationFirmware::RegionFor(std::uint32_t address, std::uint32_t length) const {
  for (std::size_t i = 0; i < regions_.size(); ++i) {
    const auto& region = regions_[i];
    if (address < region.start) continue;
    const std::uint64_t end = static_cast<std::uint64_t>(address) + length;
    if (end <= region.start + static_cast<std::uint64_t>(region.bytes.size())) return i;
  }
  return std::nullopt;
}

bool ApplicationFirmware::SetRam(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  const auto index = RegionFor(address, static_cast<std::uint32_t>(bytes.size()));
  if (!index) return false;
  auto& region = regions_[*index];
  std::copy(bytes.begin(), bytes.end(), region.bytes.begin() + (address - region.start));
  return true;
}

std::vector<std::uint8_t> ApplicationFirmware::GetRam(std::uint32_t address, std::uint32_t length) const {
  const auto index = RegionFor(address, length);
  if (!index) return {};
  const auto& region = regions_[*index];
  const auto from = region.bytes.begin() + (address - region.start);
  return std::vector<std::uint8_t>(from, from + length);
}

std::vector<RamRegionSpec> ApplicationFirmware::Regions() const {
  std::vector<RamRegionSpec> specs;
  for (const auto& region : regions_) specs.push_back({region.start, static_cast<std::uint32_t>(region.bytes.size())});
  return specs;
}

}  // namespace radiosim
