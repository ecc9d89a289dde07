#include "gps_sim/flash_geometry.h"

#include <stdexcept>

namespace gps_sim {
namespace {

constexpr std::uint32_t K = 1024;

std::vector<SimSectorRegion> Bottom(std::uint32_t big) { return {{1, 16 * K}, {2, 8 * K}, {1, 32 * K}, {big, 64 * K}}; }
std::vector<SimSectorRegion> Top(std::uint32_t big) { return {{big, 64 * K}, {1, 32 * K}, {2, 8 * K}, {1, 16 * K}}; }

std::vector<FlashGeometry> MakeParts() {
  using C = CommandSet;
  return {
      {"AM29LV200B", 0x0001, 0x22BF, 0x40000, Bottom(3), C::Jedec, false},
      {"AT49BV2048A", 0x001F, 0x0082, 0x40000, {{1, 16 * K}, {2, 8 * K}, {1, 224 * K}}, C::Jedec, false},
      {"TC58FVB400", 0x0098, 0x004C, 0x80000, Bottom(7), C::Jedec, false},
      {"AM29LV400BB", 0x0001, 0x22BA, 0x80000, Bottom(7), C::Jedec, false},
      {"SST39VF400A", 0x00BF, 0x2780, 0x80000, {{128, 4 * K}}, C::Jedec, false},
      {"M29W400BB", 0x0020, 0x00EF, 0x80000, Bottom(7), C::Jedec, false},
      {"M29W400BT", 0x0020, 0x00EE, 0x80000, Top(7), C::Jedec, false},
      {"AT49BV4096A", 0x161F, 0x1692, 0x80000, {{1, 16 * K}, {2, 8 * K}, {1, 480 * K}}, C::Jedec, false},
      {"SST39VF800", 0x00BF, 0x2781, 0x100000, {{256, 4 * K}}, C::Jedec, false},
      {"AM29LV800BB", 0x0001, 0x225B, 0x100000, Bottom(15), C::Jedec, false},
      {"AM29LV800BT", 0x0001, 0x22DA, 0x100000, Top(15), C::Jedec, false},
      {"M29W800AB", 0x0020, 0x005B, 0x100000, Bottom(15), C::Jedec, false},
      {"M29W800AT", 0x0020, 0x00D7, 0x100000, Top(15), C::Jedec, false},
      {"AM29LV160DB", 0x0001, 0x2249, 0x200000, Bottom(31), C::Jedec, false},
      {"TC58FVB160FT", 0x0098, 0x0043, 0x200000, Bottom(31), C::Jedec, false},
      {"29LV160BE", 0x0004, 0x2249, 0x200000, Bottom(31), C::Jedec, false},
      {"29LV160TE", 0x0004, 0x22C4, 0x200000, Top(31), C::Jedec, false},
      {"SST39VF160", 0x00BF, 0x2782, 0x200000, {{512, 4 * K}}, C::Jedec, false},
      {"LH28F800BVE", 0x00B0, 0x004B, 0x100000, {{8, 8 * K}, {15, 64 * K}}, C::IntelSharp, false},
      {"28F800B3B", 0x0089, 0x8893, 0x100000, {{8, 8 * K}, {15, 64 * K}}, C::IntelSharp, false},
      {"28F800B3T", 0x0089, 0x8892, 0x100000, {{15, 64 * K}, {8, 8 * K}}, C::IntelSharp, false},
      {"28F800C3B", 0x0089, 0x88C1, 0x100000, {{8, 8 * K}, {15, 64 * K}}, C::IntelSharp, true},
  };
}

}  // namespace

const std::vector<FlashGeometry>& KnownFlashParts() {
  static const std::vector<FlashGeometry> parts = MakeParts();
  return parts;
}

const FlashGeometry& FlashPartNamed(const std::string& name) {
  for (const FlashGeometry& part : KnownFlashParts()) {
    if (part.name == name) return part;
  }
  throw std::out_of_range("unknown flash part " + name);
}

}  // namespace gps_sim
