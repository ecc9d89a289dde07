#pragma once
// One entry of the "&Custom" menu: a raw command frame that the flashing
// kernel sends to the radio, with its label and flags.

#include <array>
#include <cstdint>
#include <string>

inline constexpr std::size_t kCustomCommandMaxBytes = 64;

// Flags of an item.
inline constexpr std::uint32_t kCustomMenuNoResponse = 0x1;  // no response awaited after sending
inline constexpr std::uint32_t kCustomMenuHarrow = 0x2;
inline constexpr std::uint32_t kCustomMenuCalder = 0x4;
inline constexpr std::uint32_t kCustomMenuBisel = 0x8;
inline constexpr std::uint32_t kCustomMenuAllFamilies = kCustomMenuHarrow | kCustomMenuCalder | kCustomMenuBisel;

struct CustomMenuItem {
  std::string label;
  std::array<std::uint8_t, kCustomCommandMaxBytes> command{};  // unused bytes stay zero
  std::uint32_t commandLength = 0;                             // bytes in use
  std::uint32_t flags = 0;
};
