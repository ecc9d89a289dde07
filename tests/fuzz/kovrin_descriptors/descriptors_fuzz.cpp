// Fuzzes the parser of a USB device's raw descriptors with any bytes: it
// must stay inside the buffer, and whatever it accepts must be consistent
// (every interface and endpoint it reports lies in the block).

#include <cstdint>
#include <cstdlib>

#include "descriptor_block.h"
#include "descriptor_sizes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto block = kovrin::ParseDescriptorBlock(data, size);
  if (!block) return 0;
  // Every interface and endpoint reported was read from a descriptor of at
  // least its length, after the device and configuration descriptors.
  std::size_t bytes = kovrin::kDeviceDescriptorLength + kovrin::kConfigurationLength;
  for (const auto& intf : block->interfaces) {
    bytes += kovrin::kInterfaceLength + intf.endpoints.size() * kovrin::kEndpointLength;
  }
  if (bytes > size) std::abort();
  for (bool in : {true, false}) {
    auto packet = block->BulkMaxPacketSize(in);
    if (packet && (*packet & ~kovrin::kMaxPacketSizeMask) != 0) std::abort();
  }
  (void)block->NamesStrings();
  return 0;
}
