#pragma once
// The kernel's status register: the status word of the last failed request
// and the detail bytes that go with it, as the status request (03 03)
// reports them.

#include <cstdint>
#include <vector>

namespace radiosim {

// Status words the simulated kernel sets by itself.
constexpr std::uint16_t kStatusUnsupportedGroup = 0x0100;
constexpr std::uint16_t kStatusUnsupportedOpcode = 0x0101;
constexpr std::uint16_t kStatusUnsupportedUart = 0x0600;
constexpr std::uint16_t kStatusUnsupportedBaudRate = 0x0601;

struct StatusRegister {
  std::uint16_t word = 0;
  std::vector<std::uint8_t> details;

  void Set(std::uint16_t newWord, std::vector<std::uint8_t> newDetails = {}) {
    word = newWord;
    details = std::move(newDetails);
  }
  void Clear() { Set(0); }
};

}  // namespace radiosim
