#include "platform/usb_port_numbering.h"

namespace kovrin {
namespace {

class PortNumberer {
 public:
  explicit PortNumberer(const std::function<void(const PortVisit&)>& onPort) : onPort_(onPort) {}

  void WalkHub(const platform::UsbDeviceNode& hub, bool root) {
    for (const auto& port : hub.ports) Visit(port, root);
  }

 private:
  void Visit(const platform::UsbHubPort& port, bool root) {
    const platform::UsbDeviceNode* device = port.device.get();
    if (device && !device->idsReadable) return;  // unreadable: no number
    if (device && device->maxChild > 0) {
      onPort_(PortVisit{port, root, -1});
      WalkHub(*device, false);
      return;
    }
    onPort_(PortVisit{port, root, next_++});
  }

  const std::function<void(const PortVisit&)>& onPort_;
  int next_ = 0;
};

}  // namespace

void VisitUsbPorts(const std::vector<platform::UsbDeviceNode>& roots,
                   const std::function<void(const platform::UsbDeviceNode& root)>& onRoot,
                   const std::function<void(const PortVisit& visit)>& onPort) {
  PortNumberer numberer(onPort);
  for (const auto& root : roots) {
    if (onRoot) onRoot(root);
    numberer.WalkHub(root, true);
  }
}

std::map<std::string, int> PortNumbersBySysname(const std::vector<platform::UsbDeviceNode>& roots) {
  std::map<std::string, int> numbers;
  VisitUsbPorts(roots, nullptr, [&](const PortVisit& visit) {
    if (visit.number >= 0 && visit.port.device) numbers[visit.port.device->sysname] = visit.number;
  });
  return numbers;
}

}  // namespace kovrin
