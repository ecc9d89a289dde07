#include "platform/usb_tree.h"

#include <libudev.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace platform {
namespace {

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
using Udev = std::unique_ptr<udev, UdevDeleter>;
using UdevEnumerate = std::unique_ptr<udev_enumerate, UdevDeleter>;
using UdevDevice = std::unique_ptr<udev_device, UdevDeleter>;

std::string Text(const char* value) { return value ? value : ""; }

std::string Attribute(udev_device* d, const char* name) {
  return Text(udev_device_get_sysattr_value(d, name));
}

std::optional<unsigned long> ParseNumber(const std::string& text, int base) {
  if (text.empty()) return std::nullopt;
  std::size_t used = 0;
  unsigned long value = 0;
  for (char c : text) {
    int digit;
    if (std::isdigit(static_cast<unsigned char>(c))) digit = c - '0';
    else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
      digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    else break;
    value = value * base + digit;
    if (value > 0xFFFFFFFFul) return std::nullopt;
    ++used;
  }
  if (used == 0 || used != text.size()) return std::nullopt;
  return value;
}

std::optional<unsigned long> HexAttribute(udev_device* d, const char* name) {
  return ParseNumber(Attribute(d, name), 16);
}

std::optional<unsigned long> DecimalAttribute(udev_device* d, const char* name) {
  return ParseNumber(Attribute(d, name), 10);
}

std::vector<std::uint8_t> ReadBinaryAttribute(const std::string& syspath, const char* name) {
  std::ifstream in(syspath + "/" + name, std::ios::binary);
  if (!in) return {};
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The hub port a device hangs on, from its name: "1-2" -> 2, "1-2.4" -> 4.
int PortOfName(const std::string& sysname) {
  auto cut = sysname.find_last_of(".-");
  if (cut == std::string::npos) return 0;
  auto n = ParseNumber(sysname.substr(cut + 1), 10);
  return n && *n <= 255 ? static_cast<int>(*n) : 0;
}

std::string SyspathOf(udev_device* d) { return d ? Text(udev_device_get_syspath(d)) : std::string(); }

std::unique_ptr<UsbDeviceNode> ReadDeviceNode(udev_device* d) {
  auto node = std::make_unique<UsbDeviceNode>();
  node->syspath = SyspathOf(d);
  node->sysname = Text(udev_device_get_sysname(d));
  node->devnode = Text(udev_device_get_devnode(d));
  auto vendor = HexAttribute(d, "idVendor");
  auto product = HexAttribute(d, "idProduct");
  node->idsReadable = vendor && product && *vendor <= 0xFFFF && *product <= 0xFFFF;
  if (node->idsReadable) {
    node->vendorId = static_cast<std::uint16_t>(*vendor);
    node->productId = static_cast<std::uint16_t>(*product);
  }
  node->release = static_cast<std::uint16_t>(HexAttribute(d, "bcdDevice").value_or(0) & 0xFFFF);
  node->deviceClass = static_cast<int>(HexAttribute(d, "bDeviceClass").value_or(0) & 0xFF);
  node->speedMbps = static_cast<int>(DecimalAttribute(d, "speed").value_or(0) & 0xFFFF);
  node->manufacturer = Attribute(d, "manufacturer");
  node->product = Attribute(d, "product");
  node->serial = Attribute(d, "serial");
  node->configuration = Attribute(d, "configuration");
  node->descriptors = ReadBinaryAttribute(node->syspath, "descriptors");
  node->maxChild = static_cast<int>(std::min<unsigned long>(DecimalAttribute(d, "maxchild").value_or(0), 255));
  return node;
}

UsbInterfaceNode ReadInterfaceNode(udev_device* d) {
  UsbInterfaceNode node;
  node.number = static_cast<int>(HexAttribute(d, "bInterfaceNumber").value_or(0xFF) & 0xFF);
  node.interfaceClass = static_cast<int>(HexAttribute(d, "bInterfaceClass").value_or(0xFF) & 0xFF);
  node.text = Attribute(d, "interface");
  return node;
}

template <class Visit>
void ForEachDevice(udev* u, const char* subsystem, Visit visit) {
  UdevEnumerate e(udev_enumerate_new(u));
  if (!e) return;
  udev_enumerate_add_match_subsystem(e.get(), subsystem);
  udev_enumerate_scan_devices(e.get());
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e.get())) {
    UdevDevice d(udev_device_new_from_syspath(u, udev_list_entry_get_name(entry)));
    if (d) visit(d.get());
  }
}

bool HasUsbAncestor(udev_device* d) {
  for (udev_device* p = udev_device_get_parent(d); p; p = udev_device_get_parent(p)) {
    if (Text(udev_device_get_subsystem(p)) == "usb") return true;
  }
  return false;
}

struct TreeParts {
  std::map<std::string, std::unique_ptr<UsbDeviceNode>> devices;  // by syspath
  std::map<std::string, std::string> parentOf;                    // device -> hub device
  std::map<std::string, std::string> deviceOfInterface;           // interface -> device
  std::map<std::string, UsbInterfaceNode> interfaces;             // by syspath
};

void CollectUsb(udev* u, TreeParts& parts) {
  ForEachDevice(u, "usb", [&](udev_device* d) {
    const std::string devtype = Text(udev_device_get_devtype(d));
    const std::string syspath = SyspathOf(d);
    udev_device* parent = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_device");
    if (devtype == "usb_device") {
      parts.devices[syspath] = ReadDeviceNode(d);
      if (parent) parts.parentOf[syspath] = SyspathOf(parent);
    } else if (devtype == "usb_interface" && parent) {
      parts.interfaces[syspath] = ReadInterfaceNode(d);
      parts.deviceOfInterface[syspath] = SyspathOf(parent);
    }
  });
}

void CollectTtys(udev* u, TreeParts& parts) {
  ForEachDevice(u, "tty", [&](udev_device* d) {
    udev_device* intf = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_interface");
    const std::string devnode = Text(udev_device_get_devnode(d));
    if (!intf || devnode.empty()) return;
    auto it = parts.interfaces.find(SyspathOf(intf));
    if (it != parts.interfaces.end() && it->second.ttyNode.empty()) it->second.ttyNode = devnode;
  });
}

void AttachInterfaces(TreeParts& parts) {
  for (auto& [syspath, intf] : parts.interfaces) {
    auto dev = parts.devices.find(parts.deviceOfInterface[syspath]);
    if (dev != parts.devices.end()) dev->second->interfaces.push_back(std::move(intf));
  }
  for (auto& [syspath, dev] : parts.devices) {
    std::stable_sort(dev->interfaces.begin(), dev->interfaces.end(),
                     [](const UsbInterfaceNode& a, const UsbInterfaceNode& b) { return a.number < b.number; });
  }
}

UsbHubPort* PortSlot(UsbDeviceNode& hub, int number) {
  for (auto& port : hub.ports) {
    if (port.number == number) return &port;
  }
  // A device on a port the hub did not announce still gets its place.
  auto at = std::find_if(hub.ports.begin(), hub.ports.end(),
                         [&](const UsbHubPort& p) { return p.number > number; });
  at = hub.ports.insert(at, UsbHubPort{number, nullptr});
  return &*at;
}

std::vector<UsbDeviceNode> AssembleTree(TreeParts& parts) {
  for (auto& [syspath, dev] : parts.devices) {
    for (int n = 1; n <= dev->maxChild; ++n) dev->ports.push_back(UsbHubPort{n, nullptr});
  }
  std::vector<std::unique_ptr<UsbDeviceNode>> roots;
  // Raw pointers stay valid while ownership moves from the map into the hubs.
  std::map<std::string, UsbDeviceNode*> nodes;
  for (auto& [syspath, dev] : parts.devices) nodes[syspath] = dev.get();
  for (auto& [syspath, dev] : parts.devices) {
    auto parent = parts.parentOf.find(syspath);
    const int port = PortOfName(dev->sysname);
    if (parent == parts.parentOf.end() || !nodes.count(parent->second) || port == 0) {
      roots.push_back(std::move(dev));
      continue;
    }
    UsbHubPort* slot = PortSlot(*nodes[parent->second], port);
    if (!slot->device) slot->device = std::move(dev);
  }
  std::vector<UsbDeviceNode> result;
  for (auto& root : roots) {
    if (root) result.push_back(std::move(*root));
  }
  auto bus = [](const UsbDeviceNode& n) {
    auto v = ParseNumber(n.sysname.rfind("usb", 0) == 0 ? n.sysname.substr(3) : std::string(), 10);
    return v ? *v : 0xFFFFFFFFul;
  };
  std::stable_sort(result.begin(), result.end(),
                   [&](const UsbDeviceNode& a, const UsbDeviceNode& b) { return bus(a) < bus(b); });
  return result;
}

}  // namespace

std::vector<UsbDeviceNode> ReadUsbHostTree() {
  Udev u(udev_new());
  if (!u) return {};
  TreeParts parts;
  CollectUsb(u.get(), parts);
  CollectTtys(u.get(), parts);
  AttachInterfaces(parts);
  return AssembleTree(parts);
}

std::vector<std::string> ReadSerialPortNodes() {
  Udev u(udev_new());
  if (!u) return {};
  std::vector<std::string> nodes;
  ForEachDevice(u.get(), "tty", [&](udev_device* d) {
    if (!udev_device_get_parent(d) || HasUsbAncestor(d)) return;
    // The serial driver lists unused port places with port type 0.
    if (Attribute(d, "type") == "0") return;
    std::string devnode = Text(udev_device_get_devnode(d));
    if (!devnode.empty()) nodes.push_back(std::move(devnode));
  });
  return nodes;
}

}  // namespace platform
