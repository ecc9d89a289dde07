#pragma once
// The sector list that options carry for erase and read-back jobs, with the
// two names that travel with it.

#include <cstdint>
#include <string>
#include <vector>

struct SectorEntry {
  std::uint32_t address = 0;
  std::uint32_t size = 0;    // bytes
  std::string name;          // type word of the product-file section holding the sector ("CODE", ...)
  std::uint32_t selected = 0;  // 1 = chosen

  bool operator==(const SectorEntry&) const = default;
};

struct SectorList {
  // The magic-key partition value that means the magic key is always programmed.
  static constexpr const char* kAlwaysProgramMagicKey = "ALWAYS";

  std::vector<SectorEntry> sectors;
  std::string magicKeyPartition;
  std::string processorName;  // the product's processor (see ChipFamilyFromName)

  bool operator==(const SectorList&) const = default;
};
