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

class LibusbDriver final : public PstDriver {
 public:
  int Initialize() override { return Driver().Initialize(); }
  int Uninitialize() override { return Driver().Uninitialize(); }
  int Read(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t wanted, std::uint32_t& moved,
           std::uint32_t timeoutMs) override {
    return Driver().Read(device, handle, pipe, buffer, wanted, moved, timeoutMs);
  }
  int Write(std::uint16_t device, int handle, int pipe, const void* buffer, std::uint32_t length,
            std::uint32_t& moved, std::uint32_t timeoutMs) override {
    return Driver().Write(device, handle, pipe, buffer, length, moved, timeoutMs);
  }
  int InterfaceHandleOf(std::uint16_t device, const char* name, int& handle) override {
    return Driver().InterfaceHandleOf(device, name, handle);
  }
  int DeviceList(std::uint16_t* ids, int capacity, int& count) override {
    return Driver().DeviceList(ids, capacity, count);
  }
  int Refresh() override { return Driver().Refresh(); }
  int RegisterChangeWindow(std::uint32_t window) override { return Driver().RegisterChangeWindow(window); }
  int RegisterMonitorWindow(std::uint32_t window) override { return Driver().RegisterMonitorWindow(window); }
  int MaxBulkSize(int& size) override { return Driver().MaxBulkSize(size); }
  int EndpointSize(std::uint16_t device, const char* name, bool out, std::int16_t& size) override {
    return Driver().EndpointSize(device, name, out, size);
  }

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
