// The 16 driver functions over libusb. Each call is traced with its
// arguments and status; nothing else leaves the library (exports.map).

#pragma GCC visibility push(default)
#include "quor_pst/quor_pst.h"
#pragma GCC visibility pop

#include "pst_trace.h"
#include "usb_driver.h"

namespace {

using usb_driver::PstTrace;
using usb_driver::UsbDriver;

UsbDriver& Driver() { return UsbDriver::Instance(); }

int Traced(const char* function, int status) {
  PstTrace("%s -> %d", function, status);
  return status;
}

int TracedDevice(const char* function, uint16_t device, int status) {
  PstTrace("%s device %u -> %d", function, device, status);
  return status;
}

int EndpointSizeCall(const char* function, uint16_t device, const char* name, bool out, int16_t* size, bool named) {
  int status = PST_INVALID_PARAMETER;
  if (size && (!named || name)) status = Driver().EndpointSize(device, named ? name : nullptr, out, *size);
  PstTrace("%s device %u%s%s -> %d size %d", function, device, named ? " interface " : "",
           named && name ? name : "", status, status == PST_OK ? *size : 0);
  return status;
}

}  // namespace

extern "C" {

int Quor_PSTInitialize(void) { return Traced("Quor_PSTInitialize", Driver().Initialize()); }

int Quor_PSTUninitialize(void) { return Traced("Quor_PSTUninitialize", Driver().Uninitialize()); }

int Quor_PSTReadData(uint16_t device, int handle, int pipe, void* buffer, uint32_t* length, uint32_t timeoutMs) {
  if (!length) return TracedDevice("Quor_PSTReadData", device, PST_INVALID_PARAMETER);
  const uint32_t wanted = *length;
  uint32_t moved = 0;
  const int status = Driver().Read(device, handle, pipe, buffer, wanted, moved, timeoutMs);
  *length = moved;
  PstTrace("Quor_PSTReadData device %u handle 0x%x pipe %d wanted %u time-out %u -> %d moved %u", device, handle, pipe,
           wanted, timeoutMs, status, moved);
  return status;
}

int Quor_PSTWriteData(uint16_t device, int handle, int pipe, const void* buffer, uint32_t* length,
                      uint32_t timeoutMs) {
  if (!length) return TracedDevice("Quor_PSTWriteData", device, PST_INVALID_PARAMETER);
  const uint32_t total = *length;
  uint32_t moved = 0;
  const int status = Driver().Write(device, handle, pipe, buffer, total, moved, timeoutMs);
  *length = moved;
  PstTrace("Quor_PSTWriteData device %u handle 0x%x pipe %d length %u time-out %u -> %d moved %u", device, handle,
           pipe, total, timeoutMs, status, moved);
  return status;
}

int Quor_PSTGetInterfaceHandle(uint16_t device, const char* interfaceName, int* handle) {
  int status = PST_INVALID_PARAMETER;
  if (handle && interfaceName) status = Driver().InterfaceHandleOf(device, interfaceName, *handle);
  PstTrace("Quor_PSTGetInterfaceHandle device %u interface %s -> %d handle 0x%x", device,
           interfaceName ? interfaceName : "(none)", status, status == PST_OK ? *handle : 0);
  return status;
}

int Quor_PSTGetDeviceList(uint16_t* ids, int capacity, int* count) {
  int status = PST_INVALID_PARAMETER;
  if (count) status = Driver().DeviceList(ids, capacity, *count);
  PstTrace("Quor_PSTGetDeviceList -> %d count %d", status, status == PST_OK ? *count : 0);
  return status;
}

int Quor_PSTRefreshConnections(void) { return Traced("Quor_PSTRefreshConnections", Driver().Refresh()); }

int Quor_PSTRegisterDeviceChangeNotification(uint32_t window) {
  return Traced("Quor_PSTRegisterDeviceChangeNotification", Driver().RegisterChangeWindow(window));
}

int Quor_PSTUnregisterDeviceChangeNotification(void) {
  return Traced("Quor_PSTUnregisterDeviceChangeNotification", Driver().RegisterChangeWindow(0));
}

int Quor_PSTRegisterUSBMonitor(uint32_t window) {
  return Traced("Quor_PSTRegisterUSBMonitor", Driver().RegisterMonitorWindow(window));
}

int Quor_PSTUnregisterUSBMonitor(void) {
  return Traced("Quor_PSTUnregisterUSBMonitor", Driver().RegisterMonitorWindow(0));
}

int Quor_PSTGetMaxBulkDataSize(int* size) {
  if (!size) return Traced("Quor_PSTGetMaxBulkDataSize", PST_INVALID_PARAMETER);
  return Traced("Quor_PSTGetMaxBulkDataSize", Driver().MaxBulkSize(*size));
}

int Quor_PSTGetOutBulkEpSize(uint16_t device, int16_t* size) {
  return EndpointSizeCall("Quor_PSTGetOutBulkEpSize", device, nullptr, true, size, false);
}

int Quor_PSTGetOutBulkEpSizeEx(uint16_t device, const char* interfaceName, int16_t* size) {
  return EndpointSizeCall("Quor_PSTGetOutBulkEpSizeEx", device, interfaceName, true, size, true);
}

int Quor_PSTGetInBulkEpSize(uint16_t device, int16_t* size) {
  return EndpointSizeCall("Quor_PSTGetInBulkEpSize", device, nullptr, false, size, false);
}

int Quor_PSTGetInBulkEpSizeEx(uint16_t device, const char* interfaceName, int16_t* size) {
  return EndpointSizeCall("Quor_PSTGetInBulkEpSizeEx", device, interfaceName, false, size, true);
}

}  // extern "C"
