#pragma once
// The GPS-chip read-back range that the read-back dialog fills for the
// pre-processing thread (begin, read base, end, record length).

#include <cstdint>

struct GpsChipReadBackRange {
  std::uint32_t beginAddress = 0;
  std::uint32_t readBase = 0;
  std::uint32_t endAddress = 0;
  std::uint8_t recordLength = 0;
};
