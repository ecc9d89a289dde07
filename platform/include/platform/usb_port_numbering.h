#pragma once
// The USB port numbers: root hubs in bus order, each hub's ports in order,
// numbered over all hubs in walk order. A hub's own port takes no number
// (the ports below it do, right after it); a port whose device cannot be
// read is passed over; an empty port takes a number. A pure function of the
// tree, shared by the USB monitor's walk and the USB driver library, so that
// both name one device by one number.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/usb_tree.h"

namespace platform {

struct UsbPortVisit {
  const UsbHubPort& port;
  bool onRootHub;
  int number;  // -1: the port holds a hub and takes no number
};

// Calls onRoot for each root hub, then onPort for each of the ports below it
// (hubs first, their ports right after), in walk order.
void VisitUsbPorts(const std::vector<UsbDeviceNode>& roots,
                   const std::function<void(const UsbDeviceNode& root)>& onRoot,
                   const std::function<void(const UsbPortVisit& visit)>& onPort);

// The port number of every connected device that is not a hub, by its
// system name ("1-2.4").
std::map<std::string, int> UsbPortNumbersBySysname(const std::vector<UsbDeviceNode>& roots);

}  // namespace platform
