#pragma once
// Raw descriptors as the system keeps them (device descriptor, then one
// configuration block), and tree nodes that carry them, for tests.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/usb_tree.h"

namespace usbdrivertest {

struct EndpointBytes {
  std::uint8_t address;
  std::uint8_t attributes;  // 2 bulk, 3 interrupt
  std::uint16_t maxPacketSize;
};

struct InterfaceBytes {
  int number;
  int alternate;
  std::string text;  // the interface string the system shows
  std::vector<EndpointBytes> endpoints;
};

inline std::vector<std::uint8_t> Descriptors(const std::vector<InterfaceBytes>& interfaces) {
  std::vector<std::uint8_t> block;
  for (const auto& intf : interfaces) {
    // Interfaces with a text name a string descriptor for it.
    const std::uint8_t stringIndex = intf.text.empty() ? 0 : static_cast<std::uint8_t>(4 + intf.number);
    block.insert(block.end(), {9, 4, static_cast<std::uint8_t>(intf.number), static_cast<std::uint8_t>(intf.alternate),
                               static_cast<std::uint8_t>(intf.endpoints.size()), 0xFF, 0, 0, stringIndex});
    for (const auto& ep : intf.endpoints) {
      block.insert(block.end(), {7, 5, ep.address, ep.attributes, static_cast<std::uint8_t>(ep.maxPacketSize & 0xFF),
                                 static_cast<std::uint8_t>(ep.maxPacketSize >> 8), 0});
    }
  }
  const std::size_t total = 9 + block.size();
  std::vector<std::uint8_t> bytes = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x07, 0x1d, 0x21, 0x00, 0x01, 0x00, 0, 0, 0, 1};
  bytes.insert(bytes.end(), {9, 2, static_cast<std::uint8_t>(total & 0xFF), static_cast<std::uint8_t>(total >> 8),
                             static_cast<std::uint8_t>(interfaces.size()), 1, 0, 0x80, 50});
  bytes.insert(bytes.end(), block.begin(), block.end());
  return bytes;
}

inline platform::UsbDeviceNode DeviceNode(const std::string& sysname, const std::string& devnode,
                                          const std::vector<InterfaceBytes>& interfaces) {
  platform::UsbDeviceNode node;
  node.sysname = sysname;
  node.devnode = devnode;
  node.idsReadable = true;
  node.vendorId = 0x1d07;
  node.productId = 0x0021;
  node.descriptors = Descriptors(interfaces);
  for (const auto& intf : interfaces) {
    if (intf.alternate != 0) continue;
    platform::UsbInterfaceNode in;
    in.number = intf.number;
    in.interfaceClass = 0xFF;
    in.text = intf.text;
    node.interfaces.push_back(in);
  }
  return node;
}

inline std::vector<InterfaceBytes> FlashAndBoot() {
  return {{0, 0, "Corvane_Flash", {{0x01, 2, 512}, {0x81, 2, 512}}},
          {1, 0, "Corvane_Boot", {{0x83, 3, 16}, {0x02, 2, 64}, {0x82, 2, 64}}}};
}

}  // namespace usbdrivertest
