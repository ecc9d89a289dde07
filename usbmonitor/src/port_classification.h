#pragma once
// How a connected port is classified by its device's description text.

#include <cstdint>
#include <string>

#include "kovrin/usb_change_record.h"

namespace kovrin {

struct PortClass {
  bool maker = false;    // a device of the maker (present in the table)
  std::uint8_t kind = kUsbKindOther;
  bool counted = false;  // counted among the maker's devices
};

// First match wins; a description that matches none is another maker's
// device. composite: the lookup found a composite device.
PortClass ClassifyDescription(const std::string& description, bool composite);

}  // namespace kovrin
