// The monitor's queries over the port table.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "kovrin/kovrin.h"
#include "platform/com_map.h"
#include "usb_monitor.h"
#include "platform/timed_lock.h"

namespace kovrin {
namespace {

constexpr std::uint16_t kModemVendorId = 0x1d07;
constexpr std::uint16_t kModemProductId = 0x0020;
constexpr std::uint16_t kModemRelease = 0x0001;
constexpr const char* kTestCommandInterface = "Corvane Test Command";
// Without a "{", a device path is compared over this many characters.
constexpr std::size_t kPlainPathCompareLength = 35;

bool ContainsNoCase(const std::string& text, const char* part) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  return lower(text).find(lower(part)) != std::string::npos;
}

bool SamePathPrefix(const std::string& stored, const char* path, std::size_t length) {
  return !stored.empty() && strncasecmp(stored.c_str(), path, length) == 0;
}

bool IsModem(const platform::UsbDeviceNode& node) {
  return node.idsReadable && node.vendorId == kModemVendorId && node.productId == kModemProductId &&
         node.release == kModemRelease;
}

// The first of the maker's modems with a tty, in tree order.
std::string FindModemTty(const platform::UsbDeviceNode& node) {
  if (IsModem(node)) {
    for (const auto& intf : node.interfaces) {
      if (!intf.ttyNode.empty()) return intf.ttyNode;
    }
  }
  for (const auto& port : node.ports) {
    if (!port.device) continue;
    std::string tty = FindModemTty(*port.device);
    if (!tty.empty()) return tty;
  }
  return {};
}

}  // namespace

int UsbMonitor::GetDeviceList(int& count, int* entries) {
  Lock lock(enumerateMutex_);
  WalkLocked();
  count = table_.counters.makerDevices;
  int written = 0;
  for (int p = 0; p < kPortCount; ++p) {
    if (!EntryPresent(table_.entries[p])) continue;
    entries[written++] = static_cast<int>(table_.entries[p]);
    // A present device that was not counted (the maker's Quor interface)
    // makes the list longer than the count.
    if (written > count) return KOVRIN_FAULT;
  }
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetDeviceUsbPortId(const char* devicePath, std::int16_t& port) {
  port = -1;
  const char* brace = std::strchr(devicePath, '{');
  const std::size_t length = brace ? static_cast<std::size_t>(brace - devicePath) + 1 : kPlainPathCompareLength;
  Lock lock(enumerateMutex_);
  for (int p = 0; p < kPortCount; ++p) {
    const PortDevice& device = table_.devices[p];
    if (!EntryHasDevice(table_.entries[p])) continue;
    if (SamePathPrefix(device.deviceName, devicePath, length) || SamePathPrefix(device.location, devicePath, length)) {
      port = static_cast<std::int16_t>(p);
      return KOVRIN_SUCCESS;
    }
  }
  return KOVRIN_NOT_FOUND;
}

int UsbMonitor::GetModemCommPort(int& com) {
  Lock lock(enumerateMutex_);
  for (const auto& root : platform::ReadUsbHostTree()) {
    const std::string tty = FindModemTty(root);
    if (tty.empty()) continue;
    if (auto n = comOf_(tty)) {
      com = *n;
      return KOVRIN_SUCCESS;
    }
  }
  return KOVRIN_NOT_FOUND;
}

int UsbMonitor::GetRs232Ports(int& count, int* ports, int capacity) {
  count = 0;
  for (const auto& node : platform::ReadSerialPortNodes()) {
    if (count >= capacity) break;
    if (auto n = platform::ComNumberOfDevice(node)) ports[count++] = *n;
  }
  return KOVRIN_SUCCESS;
}

void UsbMonitor::WaitForPort(int port, int timeoutMs) {
  const std::uint64_t seen = waits_.Generation(port);
  {
    Lock lock(enumerateMutex_);
    if (EntryPresent(table_.entries[port])) return;
  }
  if (timeoutMs > 0) waits_.WaitPast(port, seen, std::chrono::milliseconds(timeoutMs));
}

int UsbMonitor::GetModemComPortFromUsbPort(int port, std::int16_t& com, int timeoutMs) {
  WaitForPort(port, timeoutMs);
  Lock lock(enumerateMutex_);
  const PortEntry entry = table_.entries[port];
  std::uint8_t number = kNoComNumber;
  if (EntryPresent(entry) && EntryKind(entry) == kUsbKindModem) number = EntryCom(entry);
  else if (EntryPresent(entry) && EntryKind(entry) == kUsbKindComposite)
    number = table_.devices[port].compositeModemCom;
  if (number == kNoComNumber) return KOVRIN_NO_MODEM_PORT;
  com = number;
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetUsbDevInterfaceFromUsbPort(int port, const char*& path, int timeoutMs) {
  path = nullptr;
  WaitForPort(port, timeoutMs);
  Lock lock(enumerateMutex_);
  const PortEntry entry = table_.entries[port];
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(entry)) return KOVRIN_NO_DEVICE_INTERFACE;
  const std::string& text =
      EntryKind(entry) == kUsbKindComposite && !device.compositeModemPath.empty() ? device.compositeModemPath
                                                                                  : device.interfacePath;
  if (text.empty()) return KOVRIN_NO_DEVICE_INTERFACE;
  path = paths_.Keep(text);
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetBulkMaxPacketSize(int port, bool in, const char* interfaceText, std::int16_t& size) {
  Lock lock(enumerateMutex_);
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(table_.entries[port]) || !device.descriptors) return KOVRIN_NO_DESCRIPTORS;
  std::optional<int> interfaceNumber;
  if (interfaceText) {
    for (const auto& intf : device.descriptors->interfaces) {
      auto s = device.strings.find(intf.stringIndex);
      if (intf.stringIndex != 0 && s != device.strings.end() && s->second == interfaceText) {
        interfaceNumber = intf.number;
        break;
      }
    }
    if (!interfaceNumber) return KOVRIN_NO_ENDPOINT;
  }
  auto packet = device.descriptors->BulkMaxPacketSize(in, interfaceNumber);
  if (!packet) return KOVRIN_NO_ENDPOINT;
  size = static_cast<std::int16_t>(*packet);
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetSmartphoneList(int& count, std::int16_t* ports) {
  Lock lock(enumerateMutex_);
  // Without change notifications the table would not know of a smartphone
  // plugged in since the last walk.
  if (!registered_ || !notifying_) WalkLocked();
  count = 0;
  for (int p = 0; p < kPortCount; ++p) {
    const PortEntry e = table_.entries[p];
    if (EntryPresent(e) && EntryKind(e) == kUsbKindSmartphone) ports[count++] = static_cast<std::int16_t>(p);
  }
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetUsbDeviceConnectedPorts(int& count, std::int16_t* ports) {
  Lock lock(enumerateMutex_);
  count = 0;
  for (int p = 0; p < kPortCount; ++p) {
    const PortEntry e = table_.entries[p];
    if (!EntryHasDevice(e)) continue;
    const std::uint8_t kind = EntryKind(e);
    const std::string& name = table_.devices[p].deviceName;
    const bool makerId = ContainsNoCase(name, "vid_1d07") || ContainsNoCase(name, "vid_3e61");
    if (kind == kUsbKindModem || kind == kUsbKindPhoneInterface ||
        ((kind == kUsbKindOther || kind == kUsbKindComposite) && makerId))
      ports[count++] = static_cast<std::int16_t>(p);
  }
  return KOVRIN_SUCCESS;
}

int UsbMonitor::WaitForDeviceEnum(int timeoutMs) {
  Lock lock(enumerateMutex_, std::defer_lock);
  const bool taken = timeoutMs < 0 ? (lock.lock(), true)
                                   : platform::TryLockFor(lock, std::chrono::milliseconds(timeoutMs));
  return taken ? KOVRIN_SUCCESS : KOVRIN_ENUM_TIMEOUT;
}

int UsbMonitor::GetDeviceRemovePort(std::int16_t& port) {
  Lock lock(enumerateMutex_);
  port = static_cast<std::int16_t>(history_.flippedPort);
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetInterfaceString(int port, std::string& text) {
  Lock lock(enumerateMutex_);
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(table_.entries[port]) || !device.descriptors || device.strings.empty())
    return KOVRIN_NO_DESCRIPTORS;
  for (const auto& intf : device.descriptors->interfaces) {
    auto s = device.strings.find(intf.stringIndex);
    if (intf.stringIndex != 0 && s != device.strings.end()) {
      text = s->second;
      return KOVRIN_SUCCESS;
    }
  }
  return KOVRIN_NO_DEVICE_INTERFACE;
}

int UsbMonitor::IdentifyDevice(int port, std::string& text) {
  Lock lock(enumerateMutex_);
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(table_.entries[port])) return KOVRIN_NO_DEVICE_INTERFACE;
  if (!device.descriptors) return KOVRIN_NO_DESCRIPTORS;
  char id[64];
  std::snprintf(id, sizeof id, "USB\\Vid_%04x&Pid_%04x&Rev_%04x", device.descriptors->vendorId,
                device.descriptors->productId, device.descriptors->release);
  text = id;
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetProductName(int port, std::string& text) {
  Lock lock(enumerateMutex_);
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(table_.entries[port]) || !device.descriptors) return KOVRIN_NO_DESCRIPTORS;
  auto s = device.strings.find(device.descriptors->productIndex);
  if (device.descriptors->productIndex == 0 || s == device.strings.end()) return KOVRIN_NO_DESCRIPTORS;
  text = s->second;
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetModemConnectedPort(std::int16_t& port) {
  Lock lock(enumerateMutex_);
  for (int p = 0; p < kPortCount; ++p) {
    const PortEntry e = table_.entries[p];
    if (!EntryPresent(e)) continue;
    if (EntryKind(e) == kUsbKindModem ||
        (EntryKind(e) == kUsbKindComposite && !table_.devices[p].compositeModemPath.empty())) {
      port = static_cast<std::int16_t>(p);
      return KOVRIN_SUCCESS;
    }
  }
  return KOVRIN_NO_DESCRIPTORS;
}

int UsbMonitor::GetDeviceDescription(int port, std::string& text) {
  Lock lock(enumerateMutex_);
  if (!EntryHasDevice(table_.entries[port]) || table_.devices[port].description.empty())
    return KOVRIN_NO_DESCRIPTORS;
  text = table_.devices[port].description;
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetTotalPorts(std::int16_t& count) {
  Lock lock(enumerateMutex_);
  count = static_cast<std::int16_t>(std::min(table_.counters.ports, 0x7FFF));
  return KOVRIN_SUCCESS;
}

int UsbMonitor::DeviceIsHub(int port, int& isHub) {
  Lock lock(enumerateMutex_);
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(table_.entries[port])) return KOVRIN_NO_DESCRIPTORS;
  auto says = [](const std::string& t) {
    return t.find("Hub") != std::string::npos || t.find("HUB") != std::string::npos;
  };
  isHub = says(device.description) || says(device.location) ? 1 : 0;
  return KOVRIN_SUCCESS;
}

int UsbMonitor::CheckTestCommandUsage(int port, int& used) {
  Lock lock(enumerateMutex_);
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(table_.entries[port]) || !device.descriptors || device.strings.empty())
    return KOVRIN_NO_DESCRIPTORS;
  used = 0;
  for (const auto& intf : device.descriptors->interfaces) {
    auto s = device.strings.find(intf.stringIndex);
    if (intf.stringIndex != 0 && s != device.strings.end() && s->second == kTestCommandInterface) used = 1;
  }
  return KOVRIN_SUCCESS;
}

int UsbMonitor::GetVendorProductIds(int port, std::int16_t& vendorId, std::int16_t& productId) {
  Lock lock(enumerateMutex_);
  const PortDevice& device = table_.devices[port];
  if (!EntryHasDevice(table_.entries[port]) || !device.descriptors) return KOVRIN_NO_DESCRIPTORS;
  vendorId = static_cast<std::int16_t>(device.descriptors->vendorId);
  productId = static_cast<std::int16_t>(device.descriptors->productId);
  return KOVRIN_SUCCESS;
}

}  // namespace kovrin
