#include "engine/link/kernel_requests.h"

namespace {

struct SpeedCode {
  int baudRate;
  std::uint8_t code;
};

constexpr SpeedCode kSpeedCodes[] = {{230400, 1}, {460800, 2}};

}  // namespace

KernelRequest SpeedSwitchRequest(int baudRate) {
  std::uint8_t code = 0;  // every other rate: 115200
  for (const auto& s : kSpeedCodes)
    if (s.baudRate == baudRate) code = s.code;
  return {0x05, 0x00, 0x00, code};
}
