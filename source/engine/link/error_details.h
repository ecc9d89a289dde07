#pragma once
// The details a device object keeps of its last kernel failure, as the
// kernel's status request reports them. They travel by pointer in a
// failure event and become the detail fields of an error record.

#include <cstdint>

struct ErrorDetails {
  std::uint32_t address = 0;
  std::uint32_t value2 = 0;
  std::uint32_t value3 = 0;
  std::uint32_t statusByte = 0;
  std::uint16_t sector = 0;
  std::uint16_t manufacturerId = 0;
  std::uint16_t deviceId1 = 0;
  std::uint16_t deviceId2 = 0;
  std::uint16_t deviceId3 = 0;
};
