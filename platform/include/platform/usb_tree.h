#pragma once
// The USB host tree and the serial ports as the system's device database
// (udev and sysfs) shows them.
//
// Root hubs come in bus order; each hub lists its ports 1..maxchild with the
// device connected there (none when the port is empty). Each device carries
// its ids, class, strings, raw descriptors (the binary "descriptors"
// attribute: the device descriptor followed by the configuration
// descriptors) and its interfaces, each with the device node of a tty below
// it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct UsbInterfaceNode {
  int number = -1;          // bInterfaceNumber
  int interfaceClass = -1;  // bInterfaceClass
  std::string text;         // the interface string, when the device names one
  std::string ttyNode;      // device node of a tty below the interface, else empty
};

struct UsbDeviceNode;

struct UsbHubPort {
  int number = 0;                        // 1..maxchild
  std::unique_ptr<UsbDeviceNode> device; // null: nothing connected
};

struct UsbDeviceNode {
  std::string syspath;
  std::string sysname;  // "usb1", "1-2", "1-2.4"
  std::string devnode;  // /dev/bus/usb/BBB/DDD when there is one
  bool idsReadable = false;  // false when the device's ids cannot be read
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t release = 0;  // bcdDevice
  int deviceClass = 0;
  int speedMbps = 0;
  std::string manufacturer;
  std::string product;
  std::string serial;
  std::string configuration;
  std::vector<std::uint8_t> descriptors;
  int maxChild = 0;  // number of ports of a hub, 0 for other devices
  std::vector<UsbInterfaceNode> interfaces;  // in interface-number order
  std::vector<UsbHubPort> ports;             // hubs only, in port order
};

// The root hubs of every USB host controller, in bus order, each with the
// tree below it. Empty when the system shows no USB.
std::vector<UsbDeviceNode> ReadUsbHostTree();

// The device nodes of the serial ports of the tty class (ports of the
// machine and of plug-in cards; not USB adapters, not virtual terminals), in
// the database's order.
std::vector<std::string> ReadSerialPortNodes();

}  // namespace platform
