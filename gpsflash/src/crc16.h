#pragma once
// CRC-16 as host and target compute it over written flash: the reflected
// polynomial 0x8005 (CRC-16/MODBUS) with an explicit seed and no final
// inversion.

#include <cstddef>
#include <cstdint>

namespace ambrel {

inline constexpr std::uint16_t kCrc16Seed = 0xFFFF;

std::uint16_t Crc16Update(const std::uint8_t* data, std::size_t length, std::uint16_t seed);

}  // namespace ambrel
