#include "crc16.h"

#include <array>

namespace ambrel {
namespace {

constexpr std::array<std::uint16_t, 256> MakeReflectedTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t crc = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    table[i] = crc;
  }
  return table;
}

constexpr auto kTable = MakeReflectedTable();

}  // namespace

std::uint16_t Crc16Update(const std::uint8_t* data, std::size_t length, std::uint16_t seed) {
  std::uint16_t crc = seed;
  for (std::size_t i = 0; i < length; ++i) {
    crc = static_cast<std::uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  }
  return crc;
}

}  // namespace ambrel
