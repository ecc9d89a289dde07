#pragma once
// What the driver posts when a device comes and goes: its own arrival and
// removal messages per interface to the device-change window, and a
// device-change record to the USB-monitor window.

#include <cstdint>

namespace quor_pst {

void PostArrivals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  unsigned interfaces);
void PostRemovals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  unsigned interfaces);

}  // namespace quor_pst
