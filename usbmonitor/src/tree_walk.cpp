#include "tree_walk.h"

#include <cstdio>

#include "device_descriptions.h"
#include "port_classification.h"
#include "platform/usb_port_numbering.h"

namespace kovrin {
namespace {

constexpr int kEnhancedSpeedMbps = 480;
// The device-interface class that device names end in.
constexpr const char* kUsbDeviceClassGuid = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::uint8_t ComByte(const ComLookup& comOf, const std::string& ttyNode) {
  if (ttyNode.empty() || !comOf) return kNoComNumber;
  auto n = comOf(ttyNode);
  return n && *n >= 1 && *n < kNoComNumber ? static_cast<std::uint8_t>(*n) : kNoComNumber;
}

std::string FirstTty(const platform::UsbDeviceNode& device) {
  for (const auto& intf : device.interfaces) {
    if (!intf.ttyNode.empty()) return intf.ttyNode;
  }
  return {};
}

const platform::UsbInterfaceNode* InterfaceNumbered(const platform::UsbDeviceNode& device, int number) {
  for (const auto& intf : device.interfaces) {
    if (intf.number == number) return &intf;
  }
  return nullptr;
}

// The string descriptors the device names, read from what the system shows.
std::map<int, std::string> NamedStrings(const platform::UsbDeviceNode& device, const DescriptorBlock& block) {
  std::map<int, std::string> strings;
  auto put = [&](int index, const std::string& text) {
    if (index != 0 && !text.empty() && !strings.count(index)) strings[index] = text;
  };
  put(block.manufacturerIndex, device.manufacturer);
  put(block.productIndex, device.product);
  put(block.serialIndex, device.serial);
  put(block.configurationIndex, device.configuration);
  for (const auto& intf : block.interfaces) {
    if (const auto* node = InterfaceNumbered(device, intf.number)) put(intf.stringIndex, node->text);
  }
  return strings;
}

class Walker {
 public:
  Walker(PortTable& table, PresenceHistory& history, bool rescan, const ComLookup& comOf)
      : table_(table), history_(history), rescan_(rescan), comOf_(comOf) {}

  WalkOutcome Run(const std::vector<platform::UsbDeviceNode>& roots) {
    table_.Clear();
    platform::VisitUsbPorts(
        roots,
        [&](const platform::UsbDeviceNode& root) {
          ++table_.counters.hostControllers;
          if (root.speedMbps >= kEnhancedSpeedMbps) table_.counters.enhancedController = true;
        },
        [&](const platform::UsbPortVisit& visit) { ClassifyPort(visit); });
    table_.counters.makerDevices = outcome_.makerDevices;
    return outcome_;
  }

 private:
  void ClassifyPort(const platform::UsbPortVisit& visit) {
    const platform::UsbDeviceNode* device = visit.port.device.get();
    ++table_.counters.ports;
    if (visit.onRootHub) ++table_.counters.rootPorts;
    if (device) ++table_.counters.connectedPorts;
    if (visit.number < 0) {
      // The hub's own port takes no number; the ports below it do.
      ++table_.counters.hubs;
      return;
    }
    const int p = visit.number;
    if (p >= kPortCount) return;  // counted, but the table has no place for it
    if (device) RecordDevice(p, *device);
    else RecordEmpty(p);
  }

  void RecordEmpty(int p) {
    table_.entries[p] = EmptyEntry(p);
    if (rescan_ && history_.presentBefore[p]) history_.flippedPort = p;
    history_.presentBefore[p] = false;
  }

  void RecordDevice(int p, const platform::UsbDeviceNode& device) {
    PortDevice& info = table_.devices[p];
    info = PortDevice{};
    info.description = DescribeDevice(device);
    info.deviceName = DeviceNameOf(device);
    info.location = device.sysname;
    info.syspath = device.syspath;
    const std::string tty = FirstTty(device);
    info.interfacePath = tty.empty() ? device.devnode : tty;
    std::uint8_t com = kNoComNumber;
    if (Has(info.description, "Modem")) com = ComByte(comOf_, tty);
    info.composite = IsCompositeDevice(device) || Has(info.description, "Composite Device");
    if (info.composite) FindCompositeModem(device, info);

    const PortClass cls = ClassifyDescription(info.description, info.composite);
    table_.entries[p] = cls.maker ? MakeEntry(p, com, true, cls.kind) : OtherDeviceEntry(p);
    if (cls.counted) ++outcome_.makerDevices;

    if (rescan_ && !history_.presentBefore[p]) history_.flippedPort = p;
    history_.presentBefore[p] = true;

    info.descriptors = ParseDescriptorBlock(device.descriptors);
    if (info.descriptors && info.descriptors->NamesStrings()) info.strings = NamedStrings(device, *info.descriptors);
    outcome_.connectedPorts.push_back(p);
  }

  // The modem function of a composite device: the interface whose
  // description names the maker's modem.
  void FindCompositeModem(const platform::UsbDeviceNode& device, PortDevice& info) {
    for (const auto& intf : device.interfaces) {
      auto text = DescribeInterface(device, intf.number);
      if (!text || !Has(*text, "Corvane") || !Has(*text, "Modem") || intf.ttyNode.empty()) continue;
      info.compositeModemCom = ComByte(comOf_, intf.ttyNode);
      info.compositeModemPath = intf.ttyNode;
      return;
    }
  }

  PortTable& table_;
  PresenceHistory& history_;
  bool rescan_;
  const ComLookup& comOf_;
  WalkOutcome outcome_;
};

}  // namespace

std::string DeviceNameOf(const platform::UsbDeviceNode& device) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", device.vendorId, device.productId);
  return std::string("usb#") + ids + "#" + device.sysname + "#" + kUsbDeviceClassGuid;
}

WalkOutcome WalkUsbTree(const std::vector<platform::UsbDeviceNode>& roots, PortTable& table,
                        PresenceHistory& history, bool rescan, const ComLookup& comOf) {
  return Walker(table, history, rescan, comOf).Run(roots);
}

}  // namespace kovrin
