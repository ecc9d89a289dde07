#include "descriptor_block.h"

#include "descriptor_sizes.h"

namespace kovrin {
namespace {

constexpr std::uint8_t kDeviceType = 1;
constexpr std::uint8_t kConfigurationType = 2;
constexpr std::uint8_t kInterfaceType = 4;
constexpr std::uint8_t kEndpointType = 5;

std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool ParseDeviceDescriptor(const std::uint8_t* d, std::size_t size, DescriptorBlock& block) {
  if (size < kDeviceDescriptorLength || d[0] != kDeviceDescriptorLength || d[1] != kDeviceType) return false;
  block.vendorId = Word(d + 8);
  block.productId = Word(d + 10);
  block.release = Word(d + 12);
  block.manufacturerIndex = d[14];
  block.productIndex = d[15];
  block.serialIndex = d[16];
  return true;
}

// One descriptor inside the configuration block; false when it is malformed.
bool ParseInner(const std::uint8_t* d, DescriptorBlock& block) {
  const std::uint8_t length = d[0];
  const std::uint8_t type = d[1];
  if (type == kInterfaceType) {
    if (length < kInterfaceLength) return false;
    InterfaceDescriptor intf;
    intf.number = d[2];
    intf.alternate = d[3];
    intf.interfaceClass = d[5];
    intf.stringIndex = d[8];
    block.interfaces.push_back(intf);
  } else if (type == kEndpointType) {
    if (length < kEndpointLength) return false;
    if (block.interfaces.empty()) return true;  // an endpoint outside any interface is ignored
    block.interfaces.back().endpoints.push_back(
        EndpointDescriptor{d[2], d[3], static_cast<std::uint16_t>(Word(d + 4) & kMaxPacketSizeMask)});
  }
  return true;
}

bool ParseConfiguration(const std::uint8_t* c, std::size_t size, DescriptorBlock& block) {
  if (size < kConfigurationLength || c[0] != kConfigurationLength || c[1] != kConfigurationType) return false;
  const std::size_t total = Word(c + 2);
  if (total < kConfigurationLength || total > size) return false;
  block.configurationIndex = c[6];
  for (std::size_t at = kConfigurationLength; at < total;) {
    if (total - at < 2) return false;
    const std::uint8_t length = c[at];
    if (length < 2 || length > total - at) return false;
    if (!ParseInner(c + at, block)) return false;
    at += length;
  }
  return true;
}

}  // namespace

bool DescriptorBlock::NamesStrings() const {
  if (manufacturerIndex || productIndex || serialIndex || configurationIndex) return true;
  for (const auto& intf : interfaces) {
    if (intf.stringIndex) return true;
  }
  return false;
}

std::optional<std::uint16_t> DescriptorBlock::BulkMaxPacketSize(bool in, std::optional<int> interfaceNumber) const {
  for (const auto& intf : interfaces) {
    if (interfaceNumber && intf.number != *interfaceNumber) continue;
    for (const auto& ep : intf.endpoints) {
      if (ep.IsBulk() && ep.IsIn() == in) return ep.maxPacketSize;
    }
  }
  return std::nullopt;
}

std::optional<DescriptorBlock> ParseDescriptorBlock(const std::uint8_t* data, std::size_t size) {
  if (!data) return std::nullopt;
  DescriptorBlock block;
  if (!ParseDeviceDescriptor(data, size, block)) return std::nullopt;
  if (!ParseConfiguration(data + kDeviceDescriptorLength, size - kDeviceDescriptorLength, block))
    return std::nullopt;
  return block;
}

}  // namespace kovrin
