#pragma once
// The maker's interfaces, found by their interface strings, with the
// driver's interface kind and handle of each, and the bulk endpoints the
// configuration descriptor gives them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/usb_tree.h"

namespace usb_driver {

struct InterfaceName {
  const char* text;
  int driverKind;
  int handleOffset;
};

// In the order the arrival and removal messages go out.
inline constexpr std::array<InterfaceName, 3> kMakerInterfaces{{
    {"Corvane_Flash", 5, 1},
    {"Corvane_Boot", 6, 2},
    {"Corvane_Test_Command", 2, 3},
}};

struct BulkEndpoint {
  std::uint8_t address = 0;
  std::uint16_t maxPacketSize = 0;
};

struct MakerInterface {
  const InterfaceName* name = nullptr;
  int number = 0;  // bInterfaceNumber
  int handle = 0;
  std::optional<BulkEndpoint> bulkOut;
  std::optional<BulkEndpoint> bulkIn;
};

// Every interface handle is above 0 and names its device.
int InterfaceHandle(std::uint16_t device, const InterfaceName& name);
const InterfaceName* FindInterfaceName(const char* text);

// The maker's interfaces of a device, in the order of kMakerInterfaces; the
// endpoints from its raw descriptors (alternate setting 0). Empty for any
// other device.
std::vector<MakerInterface> FindMakerInterfaces(const platform::UsbDeviceNode& device, std::uint16_t id);

// The driver interface kind of each interface, in the order given.
std::vector<int> DriverKindsOf(const std::vector<MakerInterface>& interfaces);

// The first bulk endpoint of the direction in the whole configuration.
std::optional<std::uint16_t> FirstBulkPacketSize(const platform::UsbDeviceNode& device, bool in);

}  // namespace usb_driver
