#pragma once
// The table of USB ports that a walk of the USB tree builds.
//
// A port entry (32 bits): byte 0 the port number (0..126, numbered over all
// hubs in walk order), byte 1 the modem's COM port number (0xFF when none),
// byte 2 present (1 for a device of the maker), byte 3 the device kind
// (0xFF for an empty port). A port with another maker's device is
// 0x0000FF00 | port; an empty port 0xFF00FF00 | port.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "descriptor_block.h"

namespace kovrin {

inline constexpr int kPortCount = 127;
inline constexpr std::uint8_t kNoComNumber = 0xFF;
inline constexpr std::uint8_t kEmptyKind = 0xFF;

using PortEntry = std::uint32_t;

constexpr PortEntry MakeEntry(int port, std::uint8_t com, bool present, std::uint8_t kind) {
  return static_cast<PortEntry>(port & 0xFF) | static_cast<PortEntry>(com) << 8 |
         static_cast<PortEntry>(present ? 1 : 0) << 16 | static_cast<PortEntry>(kind) << 24;
}
constexpr PortEntry OtherDeviceEntry(int port) { return 0x0000FF00u | static_cast<PortEntry>(port & 0xFF); }
constexpr PortEntry EmptyEntry(int port) { return 0xFF00FF00u | static_cast<PortEntry>(port & 0xFF); }
constexpr std::uint8_t EntryCom(PortEntry e) { return static_cast<std::uint8_t>(e >> 8); }
constexpr bool EntryPresent(PortEntry e) { return ((e >> 16) & 0xFF) == 1; }
constexpr std::uint8_t EntryKind(PortEntry e) { return static_cast<std::uint8_t>(e >> 24); }
constexpr bool EntryHasDevice(PortEntry e) { return EntryKind(e) != kEmptyKind; }

inline bool IsValidPort(long port) { return port >= 0 && port < kPortCount; }

// What the monitor keeps about the device on one port.
struct PortDevice {
  std::string description;    // the description text the port was classified by
  std::string deviceName;     // the name sent in change records
  std::string location;       // the device's place in the tree ("1-2.4")
  std::string syspath;        // the device's identity in the system's database
  std::string interfacePath;  // what a caller opens: the modem's tty, else the USB device node
  bool composite = false;
  std::uint8_t compositeModemCom = kNoComNumber;
  std::string compositeModemPath;
  std::optional<DescriptorBlock> descriptors;
  // The string descriptors the device names, by index.
  std::map<int, std::string> strings;
};

struct WalkCounters {
  int hostControllers = 0;
  int hubs = 0;
  int ports = 0;           // every port seen, numbered or not
  int rootPorts = 0;
  int connectedPorts = 0;
  int makerDevices = 0;
  bool enhancedController = false;
};

struct PortTable {
  std::array<PortEntry, kPortCount> entries{};
  std::array<PortDevice, kPortCount> devices{};
  WalkCounters counters;

  PortTable() { Clear(); }
  void Clear() {
    for (int p = 0; p < kPortCount; ++p) {
      entries[p] = EmptyEntry(p);
      devices[p] = PortDevice{};
    }
    counters = WalkCounters{};
  }
};

}  // namespace kovrin
