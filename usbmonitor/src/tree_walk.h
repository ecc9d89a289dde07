#pragma once
// The walk of the USB tree that fills the port table: every host
// controller's root hub and every hub below it, port by port, numbering the
// ports over all hubs in walk order and classifying each connected device by
// its description.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/usb_tree.h"
#include "port_table.h"

namespace kovrin {

// What outlives one walk: whether each port held a device at the last walk,
// and the port whose presence flipped last during a rescan.
struct PresenceHistory {
  std::array<bool, kPortCount> presentBefore{};
  int flippedPort = -1;
};

// The COM number of a tty device node, if the COM map knows it.
using ComLookup = std::function<std::optional<int>(const std::string& ttyNode)>;

struct WalkOutcome {
  int makerDevices = 0;
  std::vector<int> connectedPorts;  // numbered ports that got a (non-hub) device
};

// Fills the table afresh from the tree. A rescan records the port whose
// presence flips in the history.
WalkOutcome WalkUsbTree(const std::vector<platform::UsbDeviceNode>& roots, PortTable& table,
                        PresenceHistory& history, bool rescan, const ComLookup& comOf);

// The name a port's device goes by in change records.
std::string DeviceNameOf(const platform::UsbDeviceNode& device);

}  // namespace kovrin
