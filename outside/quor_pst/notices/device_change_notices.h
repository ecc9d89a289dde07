#pragma once
// What a driver library of the Quor_PST interface posts when a device comes
// and goes, the same for the stand-in and the driver over libusb: its own
// arrival and removal messages, one per interface in the order given, to the
// device-change window, and a device-change record to the USB-monitor
// window.

#include <cstdint>
#include <vector>

namespace quor_pst {

// driverKinds: the driver interface kind of each interface (the messages' lParam).
void PostArrivals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  const std::vector<int>& driverKinds);
void PostRemovals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  const std::vector<int>& driverKinds);

}  // namespace quor_pst
