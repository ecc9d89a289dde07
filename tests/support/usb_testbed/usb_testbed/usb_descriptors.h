#pragma once
// What a fake USB device tells the host about itself: its device and
// configuration descriptors and its string descriptors, built from a plain
// description. The bytes are the ones a real device sends on endpoint 0
// and the kernel keeps in sysfs ("descriptors": the device descriptor and
// the configuration block, little-endian as on the bus).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace usbtestbed {

struct EndpointSpec {
  std::uint8_t address = 0;     // bit 7 set: IN
  std::uint8_t attributes = 2;  // 2 bulk, 3 interrupt
  std::uint16_t maxPacketSize = 64;
};

struct InterfaceSpec {
  std::string name;  // the interface string; empty: none
  std::uint8_t interfaceClass = 0xFF;
  std::vector<EndpointSpec> endpoints;
};

struct DeviceSpec {
  std::uint16_t vendor = 0x1d07;
  std::uint16_t product = 0x0021;
  std::uint16_t release = 0x0100;
  std::uint8_t deviceClass = 0;
  std::uint8_t maxPacketSize0 = 64;
  std::string manufacturer = "Vexa";
  std::string productText = "Vexa radio";
  std::string serial;
  int speedMbps = 480;
  std::vector<InterfaceSpec> interfaces;  // numbered 0, 1, ... in order
};

// A radio of the maker as the driver finds it: one vendor-specific
// interface per name given, each with a bulk OUT endpoint 0x01 + n and a
// bulk IN endpoint 0x81 + n of the given packet sizes.
DeviceSpec RadioDevice(const std::vector<std::string>& interfaceNames, std::uint16_t outPacket = 512,
                       std::uint16_t inPacket = 512);
// A root hub: hub class, one interface with its interrupt endpoint.
DeviceSpec RootHub(int ports);

std::vector<std::uint8_t> DeviceDescriptor(const DeviceSpec& spec);
std::vector<std::uint8_t> ConfigurationDescriptor(const DeviceSpec& spec);
// The sysfs "descriptors" attribute: device descriptor and configuration.
std::vector<std::uint8_t> SysfsDescriptors(const DeviceSpec& spec);

// String indexes: 1 manufacturer, 2 product, 3 serial, 4 + n interface n.
inline constexpr std::uint8_t kFirstInterfaceString = 4;
// String descriptor `index` (0: the language list, English US only);
// nothing for an index the device does not have.
std::optional<std::vector<std::uint8_t>> StringDescriptor(const DeviceSpec& spec, std::uint8_t index);

// The endpoint with this address, if the device has it.
std::optional<EndpointSpec> FindEndpoint(const DeviceSpec& spec, std::uint8_t address);

}  // namespace usbtestbed
