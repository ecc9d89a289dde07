#pragma once
// One partition of a flash part, as a product file's "partition"
// declaration describes it. The partition number of the file is not kept.

#include <cstdint>
#include <string>

struct CPartitionRecord {
  std::string name;
  std::uint32_t size = 0;
  std::string type;
  std::uint32_t chipSelect = 0;

  bool operator==(const CPartitionRecord&) const = default;
};
