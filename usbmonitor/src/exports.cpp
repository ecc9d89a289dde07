// The exported functions of libKovrin.so. Each checks its arguments, runs
// its body under a guard that turns any fault into 0, and bounds what it
// writes to the sizes the header names.
#include <algorithm>
#include <cstring>
#include <string>

#include "kovrin/kovrin.h"
#include "usb_monitor.h"

namespace {

using kovrin::TheMonitor;

template <class Body>
int Guarded(Body body) {
  try {
    return body();
  } catch (...) {
    return KOVRIN_FAULT;
  }
}

template <class Body>
int GuardedPort(std::int16_t port, Body body) {
  if (!kovrin::IsValidPort(port)) return KOVRIN_NOT_FOUND;
  return Guarded(body);
}

// Copies the text with its NUL into a buffer of the size, cut to fit.
void CopyBounded(const std::string& text, char* out, std::size_t size) {
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

template <class Query>
int TextQuery(std::int16_t port, char* text, std::size_t size, Query query) {
  if (!text || size == 0) return KOVRIN_FAULT;
  return GuardedPort(port, [&] {
    std::string value;
    int rc = query(value);
    if (rc == KOVRIN_SUCCESS) CopyBounded(value, text, size);
    return rc;
  });
}

// The load walk runs when the library is loaded.
const bool kLoadWalk = (TheMonitor(), true);

}  // namespace

extern "C" {

int KovrinInitialize(std::uint16_t) {
  return Guarded([] { return TheMonitor().Initialize(); });
}

int KovrinTerminate(std::uint16_t) {
  return Guarded([] { return TheMonitor().Terminate(); });
}

int KovrinStart(std::uint16_t appId) {
  return Guarded([&] { return TheMonitor().Start(appId); });
}

int KovrinStop(std::uint16_t appId) {
  return Guarded([&] { return TheMonitor().Stop(appId); });
}

int KovrinSetDeviceNotificationEvent(std::uint16_t appId, platform::Event* event) {
  return Guarded([&] { return TheMonitor().subscribers().SetEvent(appId, event); });
}

int KovrinSetAppshWnd(std::uint16_t appId, std::uint32_t window) {
  return Guarded([&] { return TheMonitor().subscribers().SetWindow(appId, window); });
}

int KovrinClearAppshWnd(std::uint16_t appId, std::uint32_t window) {
  return Guarded([&] { return TheMonitor().subscribers().ClearWindow(appId, window); });
}

int KovrinSubscribeThreadMessage(std::uint16_t appId, std::uint32_t threadId) {
  return Guarded([&] { return TheMonitor().subscribers().SubscribeThread(appId, threadId); });
}

int KovrinUnsubscribeThreadMessage(std::uint16_t appId) {
  return Guarded([&] { return TheMonitor().subscribers().UnsubscribeThread(appId); });
}

int KovrinGetDeviceList(std::uint16_t, int* count, int* entries) {
  if (!count || !entries) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetDeviceList(*count, entries); });
}

int KovrinGetDeviceUSBPortID(std::uint16_t, const char* devicePath, std::int16_t* port) {
  if (!devicePath || !port) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetDeviceUsbPortId(devicePath, *port); });
}

int KovrinGetModemCommPort(std::uint16_t, int* com) {
  if (!com) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetModemCommPort(*com); });
}

int KovrinGetRS232Ports(std::uint16_t, int* count, int* ports) {
  if (!count || !ports) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetRs232Ports(*count, ports, KOVRIN_MAX_RS232_PORTS); });
}

int KovrinGetModemCOMPortFromUSBPortID(std::uint16_t, std::int16_t port, std::int16_t* com, int timeoutMs) {
  if (!com) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().GetModemComPortFromUsbPort(port, *com, timeoutMs); });
}

int KovrinGetUSBDevInterfaceFromUSBPort(std::uint16_t, std::int16_t port, const char** path, int timeoutMs) {
  if (!path) return KOVRIN_FAULT;
  *path = nullptr;
  return GuardedPort(port, [&] { return TheMonitor().GetUsbDevInterfaceFromUsbPort(port, *path, timeoutMs); });
}

int KovrinGetBulkInEndpointMaxPacketSize(std::uint16_t, std::int16_t port, std::int16_t* size) {
  if (!size) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().GetBulkMaxPacketSize(port, true, nullptr, *size); });
}

int KovrinGetBulkOutEndpointMaxPacketSize(std::uint16_t, std::int16_t port, std::int16_t* size) {
  if (!size) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().GetBulkMaxPacketSize(port, false, nullptr, *size); });
}

int KovrinGetBulkOutEndpointMaxPacketSizeEx(std::uint16_t, std::int16_t port, const char* interfaceText,
                                            std::int16_t* size) {
  if (!size || !interfaceText) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().GetBulkMaxPacketSize(port, false, interfaceText, *size); });
}

int KovrinGetBulkInEndpointMaxPacketSizeEx(std::uint16_t, std::int16_t port, const char* interfaceText,
                                           std::int16_t* size) {
  if (!size || !interfaceText) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().GetBulkMaxPacketSize(port, true, interfaceText, *size); });
}

int KovrinGetSmartphoneList(std::uint16_t, int* count, std::int16_t* ports) {
  if (!count || !ports) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetSmartphoneList(*count, ports); });
}

int KovrinGetUSBDeviceConnectedPorts(std::uint16_t, int* count, std::int16_t* ports) {
  if (!count || !ports) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetUsbDeviceConnectedPorts(*count, ports); });
}

int KovrinWaitForDeviceEnum(std::uint16_t, int timeoutMs) {
  return Guarded([&] { return TheMonitor().WaitForDeviceEnum(timeoutMs); });
}

int KovrinGetDeviceRemovePort(std::uint16_t, int, std::int16_t* port) {
  if (!port) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetDeviceRemovePort(*port); });
}

int KovrinGetIntfStringDesc(std::uint16_t, std::int16_t port, char* text, int size) {
  if (size <= 0) return KOVRIN_FAULT;
  return TextQuery(port, text, static_cast<std::size_t>(size),
                   [&](std::string& value) { return TheMonitor().GetInterfaceString(port, value); });
}

int KovrinIdentifyDevice(std::uint16_t, std::int16_t port, char* text) {
  return TextQuery(port, text, KOVRIN_TEXT_SIZE,
                   [&](std::string& value) { return TheMonitor().IdentifyDevice(port, value); });
}

int KovrinGetProductName(std::uint16_t, std::int16_t port, char* text) {
  return TextQuery(port, text, KOVRIN_TEXT_SIZE,
                   [&](std::string& value) { return TheMonitor().GetProductName(port, value); });
}

int KovrinGetUSBMdmConnectedUSBPort(std::uint16_t, std::int16_t* port) {
  if (!port) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetModemConnectedPort(*port); });
}

int KovrinGetDevDesc(std::uint16_t, std::int16_t port, char* text) {
  return TextQuery(port, text, KOVRIN_TEXT_SIZE,
                   [&](std::string& value) { return TheMonitor().GetDeviceDescription(port, value); });
}

int KovrinGetTotalUSBPortsOnPC(std::uint16_t, std::int16_t* count) {
  if (!count) return KOVRIN_FAULT;
  return Guarded([&] { return TheMonitor().GetTotalPorts(*count); });
}

int KovrinDeviceIsHub(std::uint16_t, std::int16_t port, int* isHub) {
  if (!isHub) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().DeviceIsHub(port, *isHub); });
}

int KovrinCheckTestCmdEPUsage(std::uint16_t, std::int16_t port, int* used) {
  if (!used) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().CheckTestCommandUsage(port, *used); });
}

int KovrinGetVendorProductIDs(std::uint16_t, std::int16_t port, std::int16_t* vendorId, std::int16_t* productId) {
  if (!vendorId || !productId) return KOVRIN_FAULT;
  return GuardedPort(port, [&] { return TheMonitor().GetVendorProductIds(port, *vendorId, *productId); });
}

}  // extern "C"
