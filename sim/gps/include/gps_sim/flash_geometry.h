#pragma once
// The GPS chip's own knowledge of the NOR flash parts that can sit behind it:
// ids, size, erase regions, command-set family and whether the part powers up
// with every sector locked.

#include <cstdint>
#include <string>
#include <vector>

namespace gps_sim {

enum class CommandSet { Jedec, IntelSharp };

struct SimSectorRegion {
  std::uint32_t count;
  std::uint32_t size;
};

struct FlashGeometry {
  std::string name;
  std::uint16_t manufacturerId;
  std::uint16_t deviceId;
  std::uint32_t size;
  std::vector<SimSectorRegion> regions;  // from offset 0 up
  CommandSet commandSet;
  bool lockedAtPowerUp;
};

// Every part the simulator can play, by name ("AM29LV200B", "28F800C3B", ...).
const std::vector<FlashGeometry>& KnownFlashParts();
// The part of that name; throws std::out_of_range for an unknown one.
const FlashGeometry& FlashPartNamed(const std::string& name);

}  // namespace gps_sim
