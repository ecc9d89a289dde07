#pragma once
// The GPS-chip read-back range that the read-back dialog fills (the read
// base stays as the asker set it).

#include <cstdint>

struct OrvixReadBackRange {
  std::uint32_t beginAddress = 0;
  std::uint32_t readBase = 0;
  std::uint32_t endAddress = 0;
  std::uint8_t recordLength = 0;
};
