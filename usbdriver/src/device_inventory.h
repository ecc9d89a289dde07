#pragma once
// The maker's devices in the USB host tree, each with its device id (the USB
// monitor's port number), the bus and address that libusb knows it by, and
// its interfaces. A pure function of the tree.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "maker_interfaces.h"
#include "platform/usb_tree.h"

namespace usb_driver {

inline constexpr int kHighestDeviceId = 126;

struct BusAddress {
  int bus = 0;
  int address = 0;
  auto operator<=>(const BusAddress&) const = default;
};

struct FoundDevice {
  std::uint16_t id = 0;
  std::string sysname;  // "1-2.4"
  std::string devnode;  // /dev/bus/usb/BBB/DDD
  BusAddress where;
  std::vector<MakerInterface> interfaces;
  std::optional<std::uint16_t> outPacketSize;  // the first bulk endpoints of the configuration
  std::optional<std::uint16_t> inPacketSize;
};

// The bus and address in a usbfs device node's name.
std::optional<BusAddress> BusAddressOf(const std::string& devnode);

// The found device served under another id: its interface handles follow.
FoundDevice WithId(FoundDevice found, std::uint16_t id);

struct Inventory {
  std::vector<FoundDevice> devices;
  // Devices of the maker numbered above the highest device id.
  std::vector<std::string> unnumbered;
  // Every device in the tree (hubs too), and those that the system does not
  // show whole yet: a hub without readable descriptors, a device with fewer
  // interfaces than its configuration declares.
  std::vector<BusAddress> seen;
  std::vector<BusAddress> incomplete;
};

// Whether a device libusb has (bus and address) is not in the tree, or not
// whole there yet: the tree is to be looked at again shortly.
bool AnyIncomplete(const Inventory& inventory, const std::vector<BusAddress>& libusbDevices);

// Whether the system shows the device whole: readable descriptors that
// declare interfaces, every one of them shown, with its string when it names
// one.
bool ShowsAllInterfaces(const platform::UsbDeviceNode& device);

Inventory TakeInventory(const std::vector<platform::UsbDeviceNode>& roots);

}  // namespace usb_driver
