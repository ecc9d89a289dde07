#pragma once
// The target programs that the library downloads into the GPS chip's RAM:
// the chip-detection program and the two flash drivers. Their bytes are
// build inputs compiled in as constant data.

#include <cstddef>
#include <cstdint>

namespace ambrel {

struct TargetProgram {
  const std::uint8_t* data;
  std::size_t length;
};

extern const TargetProgram kDetectProgram;  // 1640 bytes
extern const TargetProgram kDriverA;        // 5608 bytes, JEDEC command set
extern const TargetProgram kDriverB;        // 5624 bytes, Intel and Sharp command set

}  // namespace ambrel
