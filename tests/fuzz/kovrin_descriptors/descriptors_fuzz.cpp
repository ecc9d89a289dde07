// Fuzzes the parser of a USB device's raw descriptors with any bytes: it
// must stay inside the buffer, and whatever it accepts must be consistent
// (every interface and endpoint it reports lies in the block).

#include <cstdint>
#include <cstdlib>

#include "descriptor_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto block = kovrin::ParseDescriptorBlock(data, size);
  if (!block) return 0;
  std::size_t descriptors = 0;
  for (const auto& intf : block->interfaces) descriptors += 1 + intf.endpoints.size();
  // Every interface takes 9 bytes and every endpoint 7, after the 18-byte
  // device descriptor and the 9-byte configuration.
  if (18 + 9 + descriptors * 7 > size) std::abort();
  for (bool in : {true, false}) {
    auto packet = block->BulkMaxPacketSize(in);
    if (packet && *packet > 0x7FF) std::abort();
  }
  (void)block->NamesStrings();
  return 0;
}
