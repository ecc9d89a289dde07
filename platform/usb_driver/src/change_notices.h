#pragma once
// What the driver posts when a device of the maker comes and goes, exactly as
// the stand-in does: its own arrival and removal messages, one per
// interface, to the device-change window, and a device-change record to the
// USB-monitor window.

#include <cstdint>
#include <vector>

#include "maker_interfaces.h"

namespace usb_driver {

inline constexpr std::uint32_t kDeviceArrivalMessage = 0x8064;  // wParam device id, lParam driver kind
inline constexpr std::uint32_t kDeviceRemovalMessage = 0x8065;

void PostArrivals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  const std::vector<MakerInterface>& interfaces);
void PostRemovals(std::uint32_t changeWindow, std::uint32_t monitorWindow, std::uint16_t device,
                  const std::vector<MakerInterface>& interfaces);

}  // namespace usb_driver
