// The 16 driver functions. Each call is logged; a status that a test forced
// for the function is returned instead of doing the call.

#include <utility>

#include "call_log.h"
#include "quor_pst/quor_pst.h"
#include "stand_in.h"

namespace {

using quor_pst::MakeCall;
using quor_pst::StandIn;

StandIn& Driver() { return StandIn::Instance(); }

// Runs the call unless a status is forced for it; logs it with what it moved.
template <class Body>
int Run(QuorSimCall call, std::uint32_t* moved, Body body) {
  StandIn& driver = Driver();
  std::uint32_t count = 0;
  int status;
  if (auto forced = driver.Forced().Take(call.function)) {
    status = *forced;
  } else {
    status = body(count);
  }
  if (moved) *moved = count;
  call.moved = count;
  call.status = status;
  driver.Log().Add(call);
  return status;
}

template <class Body>
int Run(QuorSimCall call, Body body) {
  return Run(call, nullptr, [&](std::uint32_t&) { return body(); });
}

}  // namespace

extern "C" {

int Quor_PSTInitialize(void) {
  return Run(MakeCall("Quor_PSTInitialize"), [] { return Driver().Initialize(); });
}

int Quor_PSTUninitialize(void) {
  return Run(MakeCall("Quor_PSTUninitialize"), [] { return Driver().Uninitialize(); });
}

int Quor_PSTReadData(uint16_t device, int handle, int pipe, void* buffer, uint32_t* length, uint32_t timeoutMs) {
  if (!length) return Run(MakeCall("Quor_PSTReadData", device, handle, pipe), [] { return PST_INVALID_PARAMETER; });
  std::uint32_t wanted = *length;
  return Run(MakeCall("Quor_PSTReadData", device, handle, pipe, wanted, timeoutMs), length,
             [&](std::uint32_t& moved) { return Driver().Read(device, handle, pipe, buffer, wanted, moved, timeoutMs); });
}

int Quor_PSTWriteData(uint16_t device, int handle, int pipe, const void* buffer, uint32_t* length,
                      uint32_t timeoutMs) {
  if (!length) return Run(MakeCall("Quor_PSTWriteData", device, handle, pipe), [] { return PST_INVALID_PARAMETER; });
  std::uint32_t total = *length;
  return Run(MakeCall("Quor_PSTWriteData", device, handle, pipe, total, timeoutMs), length,
             [&](std::uint32_t& moved) { return Driver().Write(device, handle, pipe, buffer, total, moved, timeoutMs); });
}

int Quor_PSTGetInterfaceHandle(uint16_t device, const char* interfaceName, int* handle) {
  return Run(MakeCall("Quor_PSTGetInterfaceHandle", device), [&] {
    if (!handle || !interfaceName) return static_cast<int>(PST_INVALID_PARAMETER);
    return Driver().InterfaceHandleOf(device, interfaceName, *handle);
  });
}

int Quor_PSTGetDeviceList(uint16_t* ids, int capacity, int* count) {
  return Run(MakeCall("Quor_PSTGetDeviceList"), [&] {
    if (!count) return static_cast<int>(PST_INVALID_PARAMETER);
    return Driver().DeviceList(ids, capacity, *count);
  });
}

#ifndef QUOR_PST_WITHOUT_REFRESH
int Quor_PSTRefreshConnections(void) {
  return Run(MakeCall("Quor_PSTRefreshConnections"), [] { return static_cast<int>(PST_OK); });
}
#endif

int Quor_PSTRegisterDeviceChangeNotification(uint32_t window) {
  return Run(MakeCall("Quor_PSTRegisterDeviceChangeNotification"),
             [&] { return Driver().RegisterChangeWindow(window); });
}

int Quor_PSTUnregisterDeviceChangeNotification(void) {
  return Run(MakeCall("Quor_PSTUnregisterDeviceChangeNotification"),
             [] { return Driver().RegisterChangeWindow(0); });
}

int Quor_PSTRegisterUSBMonitor(uint32_t window) {
  return Run(MakeCall("Quor_PSTRegisterUSBMonitor"), [&] { return Driver().RegisterMonitorWindow(window); });
}

int Quor_PSTUnregisterUSBMonitor(void) {
  return Run(MakeCall("Quor_PSTUnregisterUSBMonitor"), [] { return Driver().RegisterMonitorWindow(0); });
}

int Quor_PSTGetMaxBulkDataSize(int* size) {
  return Run(MakeCall("Quor_PSTGetMaxBulkDataSize"), [&] {
    if (!size) return static_cast<int>(PST_INVALID_PARAMETER);
    return Driver().MaxBulkSize(*size);
  });
}

static int EndpointSizeCall(const char* function, uint16_t device, const char* name, bool out, int16_t* size,
                            bool named) {
  return Run(MakeCall(function, device), [&] {
    if (!size || (named && !name)) return static_cast<int>(PST_INVALID_PARAMETER);
    return Driver().EndpointSize(device, named ? name : nullptr, out, *size);
  });
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
