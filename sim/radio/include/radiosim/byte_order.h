#pragma once
// Big-endian fields of the radio's messages.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace radiosim {

inline std::uint32_t GetBe32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
         static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

inline std::uint32_t GetBe24(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) << 16 | static_cast<std::uint32_t>(b[at + 1]) << 8 | b[at + 2];
}

inline std::uint16_t GetBe16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

inline void AppendBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void AppendBe24(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 16; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void AppendBe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

}  // namespace radiosim
