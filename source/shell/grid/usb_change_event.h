#pragma once
// Reading the USB device monitor's change record (message 0x800B): the
// port index at byte 7, the interface kind at byte 8 and arrival (1) or
// removal (0) at byte 9. A record shorter than 10 bytes, a port above 126
// and any other presence value give nothing.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/core/messages.h"

struct UsbChange {
  std::uint32_t message = 0;  // WM_DEVICE_ATTACHED or WM_DEVICE_REMOVED
  int index = 0;              // USB port index 0 to 126
  int kind = 0;               // interface kind

  bool operator==(const UsbChange&) const = default;
};

inline constexpr std::size_t kUsbChangeMinimumLength = 10;
// Only devices of this interface kind become rows.
inline constexpr int kUsbPhoneInterfaceKind = 2;

// The attach or remove message for the window, for interface kind 2 only.
std::optional<UsbChange> ReadUsbChange(const std::uint8_t* record, std::size_t length);
