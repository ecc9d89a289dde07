#pragma once
// The description text that a USB device (or one interface of it) is known
// by, which the port classification reads. It comes from a small table of
// our own (vendor:product, or vendor:product:interface for one interface of
// a composite device); else "USB Composite Device" for a device with several
// interfaces and no class of its own; else its manufacturer and product
// strings; else "USB Device". Never empty.

#include <optional>
#include <string>

#include "platform/usb_tree.h"

namespace kovrin {

inline constexpr const char* kCompositeDescription = "USB Composite Device";
inline constexpr const char* kPlainDescription = "USB Device";

std::string DescribeDevice(const platform::UsbDeviceNode& device);
// The table's text for one interface of the device, if it lists one.
std::optional<std::string> DescribeInterface(const platform::UsbDeviceNode& device, int interfaceNumber);
// Whether the system would treat the device as composite (one function per
// interface).
bool IsCompositeDevice(const platform::UsbDeviceNode& device);

}  // namespace kovrin
