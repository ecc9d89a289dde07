#pragma once
// The device's raw descriptors as the system keeps them: the 18-byte device
// descriptor followed by the configuration descriptor block (configuration,
// interface, endpoint and class descriptors up to the block's total
// length). Parsing is a pure function of the bytes; anything malformed gives
// no descriptors at all.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kovrin {

struct EndpointDescriptor {
  std::uint8_t address = 0;     // bit 7 set: IN
  std::uint8_t attributes = 0;  // bits 0-1: transfer type (2 bulk)
  std::uint16_t maxPacketSize = 0;

  bool IsBulk() const { return (attributes & 0x03) == 0x02; }
  bool IsIn() const { return (address & 0x80) != 0; }
};

struct InterfaceDescriptor {
  std::uint8_t number = 0;
  std::uint8_t alternate = 0;
  std::uint8_t interfaceClass = 0;
  std::uint8_t stringIndex = 0;
  std::vector<EndpointDescriptor> endpoints;
};

struct DescriptorBlock {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t release = 0;
  std::uint8_t manufacturerIndex = 0;
  std::uint8_t productIndex = 0;
  std::uint8_t serialIndex = 0;
  std::uint8_t configurationIndex = 0;
  std::vector<InterfaceDescriptor> interfaces;

  // Whether the device names any string descriptor.
  bool NamesStrings() const;
  // The first bulk endpoint of the direction, in the interfaces' order (only
  // within the interface of that number when given).
  std::optional<std::uint16_t> BulkMaxPacketSize(bool in, std::optional<int> interfaceNumber = {}) const;
};

std::optional<DescriptorBlock> ParseDescriptorBlock(const std::uint8_t* data, std::size_t size);
inline std::optional<DescriptorBlock> ParseDescriptorBlock(const std::vector<std::uint8_t>& bytes) {
  return ParseDescriptorBlock(bytes.data(), bytes.size());
}

}  // namespace kovrin
