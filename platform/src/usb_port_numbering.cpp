#include "platform/usb_port_numbering.h"

namespace platform {
namespace {

class PortNumberer {
 public:
  explicit PortNumberer(const std::function<void(const UsbPortVisit&)>& onPort) : onPort_(onPort) {}

  void WalkHub(const UsbDeviceNode& hub, bool root) {
    for (const auto& port : hub.ports) Visit(port, root);
  }

 private:
  void Visit(const UsbHubPort& port, bool root) {
    const UsbDeviceNode* device = port.device.get();
    if (device && !device->idsReadable) return;  // unreadable: no number
    if (device && device->maxChild > 0) {
      onPort_(UsbPortVisit{port, root, -1});
      WalkHub(*device, false);
      return;
    }
    onPort_(UsbPortVisit{port, root, next_++});
  }

  const std::function<void(const UsbPortVisit&)>& onPort_;
  int next_ = 0;
};

}  // namespace

void VisitUsbPorts(const std::vector<UsbDeviceNode>& roots, const std::function<void(const UsbDeviceNode& root)>& onRoot,
                   const std::function<void(const UsbPortVisit& visit)>& onPort) {
  PortNumberer numberer(onPort);
  for (const auto& root : roots) {
    if (onRoot) onRoot(root);
    numberer.WalkHub(root, true);
  }
}

std::map<std::string, int> UsbPortNumbersBySysname(const std::vector<UsbDeviceNode>& roots) {
  std::map<std::string, int> numbers;
  VisitUsbPorts(roots, nullptr, [&](const UsbPortVisit& visit) {
    if (visit.number >= 0 && visit.port.device) numbers[visit.port.device->sysname] = visit.number;
  });
  return numbers;
}

}  // namespace platform
