#include "engine/link/kernel_op_requests.h"

namespace {

void PutBigEndian(std::uint8_t* out, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t width) {
  const std::size_t at = out.size();
  out.resize(at + width);
  PutBigEndian(out.data() + at, value, width);
}

// The checksum of a serial-bus frame: 0xFF minus the 8-bit sum of every
// byte before it.
void AppendChecksum(RamFrame& frame) {
  std::uint8_t sum = 0;
  for (const auto byte : frame) sum = static_cast<std::uint8_t>(sum + byte);
  frame.push_back(static_cast<std::uint8_t>(0xFF - sum));
}

constexpr std::size_t kFdiRegionRequestBytes = 26;
constexpr std::size_t kFdiUnitRequestBytes = 30;

}  // namespace

KernelRequest EraseRequest(std::uint32_t first, std::uint32_t last) {
  KernelRequest request{0x01, 0x07};
  AppendBigEndian(request, first, 4);
  AppendBigEndian(request, last, 4);
  return request;
}

void WriteProgramHeader(std::uint8_t* request, std::uint32_t address, std::uint16_t length) {
  request[0] = 0x01;
  request[1] = 0x00;
  PutBigEndian(request + 2, address, 4);
  PutBigEndian(request + 6, length, 2);
}

KernelRequest ReadRequest(std::uint32_t address, std::uint16_t length) {
  KernelRequest request{0x01, 0x06};
  AppendBigEndian(request, address, 4);
  AppendBigEndian(request, length, 2);
  request.push_back(0x01);
  return request;
}

KernelRequest FdiRegionRequest(std::uint32_t base, std::uint32_t unitSize, std::uint16_t unitCount) {
  KernelRequest request{0x07, 0x00};
  AppendBigEndian(request, base, 4);
  AppendBigEndian(request, unitSize, 4);
  AppendBigEndian(request, unitCount, 2);
  request.resize(kFdiRegionRequestBytes, 0);
  return request;
}

KernelRequest FdiUnitRequest(std::uint32_t unitAddress, std::uint32_t unitSize, std::uint16_t value1,
                             std::uint16_t value2) {
  KernelRequest request{0x07, 0x01};
  AppendBigEndian(request, unitAddress, 4);
  AppendBigEndian(request, unitSize, 4);
  AppendBigEndian(request, value1, 2);
  AppendBigEndian(request, value2, 2);
  request.resize(kFdiUnitRequestBytes, 0);
  return request;
}

RamFrame RamAnnounceFrame() {
  RamFrame frame{0xF2, 0x31, 0x00};
  AppendChecksum(frame);
  return frame;
}

RamFrame RamRegionCountFrame() {
  RamFrame frame{0xF2, 0x35, 0x00};
  AppendChecksum(frame);
  return frame;
}

RamFrame RamRegionFrame(std::uint8_t region) {
  RamFrame frame{0xF2, 0x32, region};
  AppendChecksum(frame);
  return frame;
}

RamFrame RamReadFrame(std::uint32_t address, std::uint32_t length) {
  RamFrame frame{0xF8, 0x33};
  AppendBigEndian(frame, address, 4);
  AppendBigEndian(frame, length, 3);
  AppendChecksum(frame);
  return frame;
}

std::uint32_t ReadBigEndian(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const std::size_t at = offset + i;
    value = value << 8 | (at < bytes.size() ? bytes[at] : 0u);
  }
  return value;
}
