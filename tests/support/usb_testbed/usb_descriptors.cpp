#include "usb_testbed/usb_descriptors.h"

namespace usbtestbed {
namespace {

void PutWord(std::vector<std::uint8_t>& b, std::uint16_t w) {
  b.push_back(static_cast<std::uint8_t>(w & 0xFF));
  b.push_back(static_cast<std::uint8_t>(w >> 8));
}

std::uint8_t StringIndex(const std::string& text, std::uint8_t index) { return text.empty() ? 0 : index; }

}  // namespace

DeviceSpec RadioDevice(const std::vector<std::string>& interfaceNames, std::uint16_t outPacket,
                       std::uint16_t inPacket) {
  DeviceSpec spec;
  std::uint8_t n = 0;
  for (const auto& name : interfaceNames) {
    InterfaceSpec intf;
    intf.name = name;
    intf.endpoints = {{static_cast<std::uint8_t>(0x01 + n), 2, outPacket},
                      {static_cast<std::uint8_t>(0x81 + n), 2, inPacket}};
    spec.interfaces.push_back(intf);
    ++n;
  }
  return spec;
}

DeviceSpec RootHub(int ports) {
  DeviceSpec spec;
  spec.vendor = 0x1d6b;
  spec.product = 0x0002;
  spec.release = 0x0601;
  spec.deviceClass = 9;
  spec.manufacturer = "Linux 6.1.0 xhci-hcd";
  spec.productText = "xHCI Host Controller";
  InterfaceSpec hub;
  hub.interfaceClass = 9;
  hub.endpoints = {{0x81, 3, static_cast<std::uint16_t>(1 + ports / 8)}};
  spec.interfaces.push_back(hub);
  return spec;
}

std::vector<std::uint8_t> DeviceDescriptor(const DeviceSpec& spec) {
  std::vector<std::uint8_t> b = {18, 1, 0x00, 0x02, spec.deviceClass, 0, 0, spec.maxPacketSize0};
  PutWord(b, spec.vendor);
  PutWord(b, spec.product);
  PutWord(b, spec.release);
  b.insert(b.end(), {StringIndex(spec.manufacturer, 1), StringIndex(spec.productText, 2),
                     StringIndex(spec.serial, 3), 1});
  return b;
}

std::vector<std::uint8_t> ConfigurationDescriptor(const DeviceSpec& spec) {
  std::vector<std::uint8_t> inner;
  for (std::size_t n = 0; n < spec.interfaces.size(); ++n) {
    const auto& intf = spec.interfaces[n];
    const auto stringIndex = static_cast<std::uint8_t>(intf.name.empty() ? 0 : kFirstInterfaceString + n);
    inner.insert(inner.end(), {9, 4, static_cast<std::uint8_t>(n), 0,
                               static_cast<std::uint8_t>(intf.endpoints.size()), intf.interfaceClass, 0, 0,
                               stringIndex});
    for (const auto& ep : intf.endpoints) {
      inner.insert(inner.end(), {7, 5, ep.address, ep.attributes});
      PutWord(inner, ep.maxPacketSize);
      inner.push_back(ep.attributes == 3 ? 12 : 0);
    }
  }
  std::vector<std::uint8_t> b = {9, 2};
  PutWord(b, static_cast<std::uint16_t>(9 + inner.size()));
  b.insert(b.end(), {static_cast<std::uint8_t>(spec.interfaces.size()), 1, 0, 0x80, 50});
  b.insert(b.end(), inner.begin(), inner.end());
  return b;
}

std::vector<std::uint8_t> SysfsDescriptors(const DeviceSpec& spec) {
  auto b = DeviceDescriptor(spec);
  const auto config = ConfigurationDescriptor(spec);
  b.insert(b.end(), config.begin(), config.end());
  return b;
}

std::optional<std::vector<std::uint8_t>> StringDescriptor(const DeviceSpec& spec, std::uint8_t index) {
  if (index == 0) return std::vector<std::uint8_t>{4, 3, 0x09, 0x04};
  std::string text;
  if (index == 1) text = spec.manufacturer;
  else if (index == 2) text = spec.productText;
  else if (index == 3) text = spec.serial;
  else if (index - kFirstInterfaceString < static_cast<int>(spec.interfaces.size()))
    text = spec.interfaces[index - kFirstInterfaceString].name;
  if (text.empty()) return std::nullopt;
  std::vector<std::uint8_t> b = {static_cast<std::uint8_t>(2 + 2 * text.size()), 3};
  for (char c : text) PutWord(b, static_cast<std::uint8_t>(c));
  return b;
}

std::optional<EndpointSpec> FindEndpoint(const DeviceSpec& spec, std::uint8_t address) {
  for (const auto& intf : spec.interfaces)
    for (const auto& ep : intf.endpoints)
      if (ep.address == address) return ep;
  return std::nullopt;
}

}  // namespace usbtestbed
