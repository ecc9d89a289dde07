#include "device_inventory.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "descriptor_block.h"
#include "platform/usb_port_numbering.h"

namespace usb_driver {

std::optional<BusAddress> BusAddressOf(const std::string& devnode) {
  static const std::string kPrefix = "/dev/bus/usb/";
  if (devnode.compare(0, kPrefix.size(), kPrefix) != 0) return std::nullopt;
  BusAddress where;
  char rest = 0;
  if (std::sscanf(devnode.c_str() + kPrefix.size(), "%d/%d%c", &where.bus, &where.address, &rest) != 2) {
    return std::nullopt;
  }
  return where;
}

bool ShowsAllInterfaces(const platform::UsbDeviceNode& device) {
  const auto block = kovrin::ParseDescriptorBlock(device.descriptors);
  // Descriptors that cannot be read (yet) say nothing of what is to come.
  if (!block) return false;
  std::set<int> declared;
  for (const auto& intf : block->interfaces) declared.insert(intf.number);
  if (declared.empty()) return false;
  std::set<int> shown;
  for (const auto& intf : device.interfaces) shown.insert(intf.number);
  if (!std::includes(shown.begin(), shown.end(), declared.begin(), declared.end())) return false;
  // An interface that names a string shows it, as the system reads it once.
  for (const auto& intf : block->interfaces) {
    if (intf.alternate != 0 || intf.stringIndex == 0) continue;
    const bool shownWithText = std::any_of(device.interfaces.begin(), device.interfaces.end(),
                                           [&](const platform::UsbInterfaceNode& node) {
                                             return node.number == intf.number && !node.text.empty();
                                           });
    if (!shownWithText) return false;
  }
  return true;
}

FoundDevice WithId(FoundDevice found, std::uint16_t id) {
  found.id = id;
  for (auto& intf : found.interfaces) intf.handle = InterfaceHandle(id, *intf.name);
  return found;
}

bool AnyIncomplete(const Inventory& inventory, const std::vector<BusAddress>& libusbDevices) {
  auto contains = [](const std::vector<BusAddress>& list, const BusAddress& where) {
    return std::find(list.begin(), list.end(), where) != list.end();
  };
  return std::any_of(libusbDevices.begin(), libusbDevices.end(), [&](const BusAddress& where) {
    return !contains(inventory.seen, where) || contains(inventory.incomplete, where);
  });
}

Inventory TakeInventory(const std::vector<platform::UsbDeviceNode>& roots) {
  Inventory inventory;
  platform::VisitUsbPorts(roots, nullptr, [&](const platform::UsbPortVisit& visit) {
    const platform::UsbDeviceNode* device = visit.port.device.get();
    if (!device) return;
    const auto where = BusAddressOf(device->devnode);
    if (!where) return;
    inventory.seen.push_back(*where);
    if (visit.number < 0) {
      // A hub is whole once its descriptors are there; its ports are visited apart.
      if (!kovrin::ParseDescriptorBlock(device->descriptors)) inventory.incomplete.push_back(*where);
      return;
    }
    if (!ShowsAllInterfaces(*device)) {
      inventory.incomplete.push_back(*where);
      return;
    }
    if (visit.number > kHighestDeviceId) {
      if (!FindMakerInterfaces(*device, 0).empty()) inventory.unnumbered.push_back(device->sysname);
      return;
    }
    FoundDevice found;
    found.id = static_cast<std::uint16_t>(visit.number);
    found.interfaces = FindMakerInterfaces(*device, found.id);
    if (found.interfaces.empty()) return;
    found.sysname = device->sysname;
    found.devnode = device->devnode;
    found.where = *where;
    found.outPacketSize = FirstBulkPacketSize(*device, false);
    found.inPacketSize = FirstBulkPacketSize(*device, true);
    inventory.devices.push_back(std::move(found));
  });
  return inventory;
}

}  // namespace usb_driver
