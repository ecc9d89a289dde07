#pragma once
// The interfaces a simulated device can offer: name, control bit, the
// driver's interface kind and the handle offset of each.

#include <array>
#include <vector>

#include "quor_pst/quor_pst.h"
#include "quor_pst/quor_sim_control.h"

namespace quor_pst {

struct InterfaceEntry {
  const char* name;
  unsigned bit;
  int driverKind;
  int handleOffset;
};

inline constexpr std::array<InterfaceEntry, 3> kInterfaces{{
    {"Corvane_Flash", QUOR_SIM_FLASH, PST_KIND_FLASH, 1},
    {"Corvane_Boot", QUOR_SIM_BOOT, PST_KIND_BOOT, 2},
    {"Corvane_Test_Command", QUOR_SIM_TEST_COMMAND, PST_KIND_TEST_COMMAND, 3},
}};

inline constexpr unsigned kAllInterfaceBits = QUOR_SIM_FLASH | QUOR_SIM_BOOT | QUOR_SIM_TEST_COMMAND;
inline constexpr long kMaxBusDeviceId = 126;

// Every interface handle is above 0 and names its device: 0x1000 + id * 4 + offset.
inline int InterfaceHandle(unsigned device, const InterfaceEntry& entry) {
  return 0x1000 + static_cast<int>(device) * 4 + entry.handleOffset;
}

// The driver interface kinds of the interfaces a control bit set names, in table order.
inline std::vector<int> DriverKindsOf(unsigned interfaces) {
  std::vector<int> kinds;
  for (const auto& entry : kInterfaces) {
    if (interfaces & entry.bit) kinds.push_back(entry.driverKind);
  }
  return kinds;
}

}  // namespace quor_pst
