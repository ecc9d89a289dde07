#pragma once
// One flash part of a product: the values of its flash header and the
// partitions and sections of its block, in file order.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/product/partition_record.h"
#include "engine/product/section_record.h"

struct CFlashRecord {
  std::string name;
  std::uint32_t size = 0;        // total size in bytes; 0 means not stated
  std::string type;              // flash type word as written ("nor", "MSystems", ...)
  std::string vendor;            // vendor word as written ("Intel", "AMD", ...)
  std::uint32_t eraseUnit = 0;   // erase unit size in bytes
  std::uint32_t writeUnit = 0;   // write unit size in bytes
  std::uint32_t sectorSize = 0;  // sector size stated in the header
  std::uint32_t chipSelect = 0;
  std::uint32_t numSectors = 0;  // sectors stated in the header; 0 means not stated
  std::vector<CPartitionRecord> partitions;
  std::vector<CSectionRecord> sections;

  bool operator==(const CFlashRecord&) const = default;
};
