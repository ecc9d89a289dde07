#include "maker_interfaces.h"

#include <cstring>

#include "descriptor_block.h"

namespace usb_driver {
namespace {

std::optional<BulkEndpoint> FirstBulk(const kovrin::DescriptorBlock& block, int number, bool in) {
  for (const auto& intf : block.interfaces) {
    if (intf.number != number || intf.alternate != 0) continue;
    for (const auto& ep : intf.endpoints) {
      if (ep.IsBulk() && ep.IsIn() == in) return BulkEndpoint{ep.address, ep.maxPacketSize};
    }
  }
  return std::nullopt;
}

}  // namespace

int InterfaceHandle(std::uint16_t device, const InterfaceName& name) {
  return 0x1000 + static_cast<int>(device) * 4 + name.handleOffset;
}

const InterfaceName* FindInterfaceName(const char* text) {
  if (!text) return nullptr;
  for (const auto& name : kMakerInterfaces) {
    if (std::strcmp(text, name.text) == 0) return &name;
  }
  return nullptr;
}

std::vector<MakerInterface> FindMakerInterfaces(const platform::UsbDeviceNode& device, std::uint16_t id) {
  std::vector<MakerInterface> found;
  const auto block = kovrin::ParseDescriptorBlock(device.descriptors);
  for (const auto& name : kMakerInterfaces) {
    for (const auto& node : device.interfaces) {
      if (node.text != name.text) continue;
      MakerInterface intf;
      intf.name = &name;
      intf.number = node.number;
      intf.handle = InterfaceHandle(id, name);
      if (block) {
        intf.bulkOut = FirstBulk(*block, node.number, false);
        intf.bulkIn = FirstBulk(*block, node.number, true);
      }
      found.push_back(intf);
      break;
    }
  }
  return found;
}

std::vector<int> DriverKindsOf(const std::vector<MakerInterface>& interfaces) {
  std::vector<int> kinds;
  for (const auto& intf : interfaces) kinds.push_back(intf.name->driverKind);
  return kinds;
}

std::optional<std::uint16_t> FirstBulkPacketSize(const platform::UsbDeviceNode& device, bool in) {
  const auto block = kovrin::ParseDescriptorBlock(device.descriptors);
  if (!block) return std::nullopt;
  return block->BulkMaxPacketSize(in);
}

}  // namespace usb_driver
