// The driver over libusb behind the export layer. Each call is traced with
// its arguments and status; nothing else leaves the library (exports.map).

#include <cstring>

#include "pst_driver.h"
#include "pst_trace.h"
#include "quor_pst/quor_pst.h"
#include "usb_driver.h"

namespace quor_pst {
namespace {

using usb_driver::PstTrace;
using usb_driver::UsbDriver;

bool Is(const PstCallArgs& call, const char* function) { return std::strcmp(call.function, function) == 0; }

bool IsEndpointSize(const PstCallArgs& call) {
  return Is(call, "Quor_PSTGetOutBulkEpSize") || Is(call, "Quor_PSTGetOutBulkEpSizeEx") ||
         Is(call, "Quor_PSTGetInBulkEpSize") || Is(call, "Quor_PSTGetInBulkEpSizeEx");
}

void TraceTransfer(const PstCallArgs& call, const PstCallResult& result) {
  if (!call.argumentsValid) {
    PstTrace("%s device %u -> %d", call.function, call.device, result.status);
  } else if (Is(call, "Quor_PSTReadData")) {
    PstTrace("Quor_PSTReadData device %u handle 0x%x pipe %d wanted %u time-out %u -> %d moved %u", call.device,
             call.handle, call.pipe, call.requested, call.timeoutMs, result.status, result.moved);
  } else {
    PstTrace("Quor_PSTWriteData device %u handle 0x%x pipe %d length %u time-out %u -> %d moved %u", call.device,
             call.handle, call.pipe, call.requested, call.timeoutMs, result.status, result.moved);
  }
}

class LibusbDriver final : public ForwardingPstDriver<UsbDriver, &UsbDriver::Instance> {
 public:
  int Refresh() override { return Driver().Refresh(); }

  // Real devices have no forced statuses.
  std::optional<int> ForcedStatus(const PstCallArgs&) override { return std::nullopt; }

  void Record(const PstCallArgs& call, const PstCallResult& result) override {
    if (Is(call, "Quor_PSTReadData") || Is(call, "Quor_PSTWriteData")) {
      TraceTransfer(call, result);
    } else if (Is(call, "Quor_PSTGetInterfaceHandle")) {
      PstTrace("Quor_PSTGetInterfaceHandle device %u interface %s -> %d handle 0x%x", call.device,
               call.interfaceName ? call.interfaceName : "(none)", result.status, result.value);
    } else if (Is(call, "Quor_PSTGetDeviceList")) {
      PstTrace("Quor_PSTGetDeviceList -> %d count %d", result.status, result.value);
    } else if (IsEndpointSize(call)) {
      PstTrace("%s device %u%s%s -> %d size %d", call.function, call.device, call.named ? " interface " : "",
               call.named && call.interfaceName ? call.interfaceName : "", result.status, result.value);
    } else {
      PstTrace("%s -> %d", call.function, result.status);
    }
  }

 private:
  static UsbDriver& Driver() { return UsbDriver::Instance(); }
};

}  // namespace

PstDriver& ExportedDriver() {
  static LibusbDriver driver;
  return driver;
}

}  // namespace quor_pst
