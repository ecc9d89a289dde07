// The 16 driver functions of a Quor_PST library over its driver: each
// checks its arguments here, takes a forced status if the driver has one,
// does the call and has the driver record it.

#pragma GCC visibility push(default)
#include "quor_pst/quor_pst.h"
#pragma GCC visibility pop

#include "pst_driver.h"

namespace {

using quor_pst::ExportedDriver;
using quor_pst::PstCallArgs;
using quor_pst::PstCallResult;
using quor_pst::PstDriver;

PstCallArgs Call(const char* function, std::uint16_t device = 0xFFFF) {
  PstCallArgs call;
  call.function = function;
  call.device = device;
  return call;
}

// Runs body(result) unless the driver forces a status or the arguments are
// refused, then records the outcome.
template <class Body>
PstCallResult Run(const PstCallArgs& call, Body body) {
  PstDriver& driver = ExportedDriver();
  PstCallResult result;
  if (auto forced = driver.ForcedStatus(call)) {
    result.status = *forced;
  } else if (!call.argumentsValid) {
    result.status = PST_INVALID_PARAMETER;
  } else {
    result.status = body(driver, result);
  }
  driver.Record(call, result);
  return result;
}

int Simple(const char* function, int (PstDriver::*method)()) {
  return Run(Call(function), [&](PstDriver& driver, PstCallResult&) { return (driver.*method)(); }).status;
}

int Window(const char* function, int (PstDriver::*method)(std::uint32_t), std::uint32_t window) {
  return Run(Call(function), [&](PstDriver& driver, PstCallResult&) { return (driver.*method)(window); }).status;
}

PstCallArgs TransferCall(const char* function, uint16_t device, int handle, int pipe, const uint32_t* length,
                         uint32_t timeoutMs) {
  PstCallArgs call = Call(function, device);
  call.handle = handle;
  call.pipe = pipe;
  call.argumentsValid = length != nullptr;
  if (length) {
    call.requested = *length;
    call.timeoutMs = timeoutMs;
  }
  return call;
}

int EndpointSizeCall(const char* function, uint16_t device, const char* name, bool out, int16_t* size,
                     bool named) {
  PstCallArgs call = Call(function, device);
  call.interfaceName = name;
  call.named = named;
  call.argumentsValid = size && (!named || name);
  return Run(call, [&](PstDriver& driver, PstCallResult& result) {
           const int status = driver.EndpointSize(device, named ? name : nullptr, out, *size);
           if (status == PST_OK) result.value = *size;
           return status;
         }).status;
}

}  // namespace

extern "C" {

int Quor_PSTInitialize(void) { return Simple("Quor_PSTInitialize", &PstDriver::Initialize); }

int Quor_PSTUninitialize(void) { return Simple("Quor_PSTUninitialize", &PstDriver::Uninitialize); }

int Quor_PSTReadData(uint16_t device, int handle, int pipe, void* buffer, uint32_t* length, uint32_t timeoutMs) {
  const PstCallArgs call = TransferCall("Quor_PSTReadData", device, handle, pipe, length, timeoutMs);
  const PstCallResult result = Run(call, [&](PstDriver& driver, PstCallResult& r) {
    return driver.Read(device, handle, pipe, buffer, call.requested, r.moved, timeoutMs);
  });
  if (length) *length = result.moved;
  return result.status;
}

int Quor_PSTWriteData(uint16_t device, int handle, int pipe, const void* buffer, uint32_t* length,
                      uint32_t timeoutMs) {
  const PstCallArgs call = TransferCall("Quor_PSTWriteData", device, handle, pipe, length, timeoutMs);
  const PstCallResult result = Run(call, [&](PstDriver& driver, PstCallResult& r) {
    return driver.Write(device, handle, pipe, buffer, call.requested, r.moved, timeoutMs);
  });
  if (length) *length = result.moved;
  return result.status;
}

int Quor_PSTGetInterfaceHandle(uint16_t device, const char* interfaceName, int* handle) {
  PstCallArgs call = Call("Quor_PSTGetInterfaceHandle", device);
  call.interfaceName = interfaceName;
  call.named = true;
  call.argumentsValid = handle && interfaceName;
  return Run(call, [&](PstDriver& driver, PstCallResult& result) {
           const int status = driver.InterfaceHandleOf(device, interfaceName, *handle);
           if (status == PST_OK) result.value = *handle;
           return status;
         }).status;
}

int Quor_PSTGetDeviceList(uint16_t* ids, int capacity, int* count) {
  PstCallArgs call = Call("Quor_PSTGetDeviceList");
  call.argumentsValid = count != nullptr;
  return Run(call, [&](PstDriver& driver, PstCallResult& result) {
           const int status = driver.DeviceList(ids, capacity, *count);
           if (status == PST_OK) result.value = *count;
           return status;
         }).status;
}

#ifndef QUOR_PST_WITHOUT_REFRESH
int Quor_PSTRefreshConnections(void) { return Simple("Quor_PSTRefreshConnections", &PstDriver::Refresh); }
#endif

int Quor_PSTRegisterDeviceChangeNotification(uint32_t window) {
  return Window("Quor_PSTRegisterDeviceChangeNotification", &PstDriver::RegisterChangeWindow, window);
}

int Quor_PSTUnregisterDeviceChangeNotification(void) {
  return Window("Quor_PSTUnregisterDeviceChangeNotification", &PstDriver::RegisterChangeWindow, 0);
}

int Quor_PSTRegisterUSBMonitor(uint32_t window) {
  return Window("Quor_PSTRegisterUSBMonitor", &PstDriver::RegisterMonitorWindow, window);
}

int Quor_PSTUnregisterUSBMonitor(void) {
  return Window("Quor_PSTUnregisterUSBMonitor", &PstDriver::RegisterMonitorWindow, 0);
}

int Quor_PSTGetMaxBulkDataSize(int* size) {
  PstCallArgs call = Call("Quor_PSTGetMaxBulkDataSize");
  call.argumentsValid = size != nullptr;
  return Run(call, [&](PstDriver& driver, PstCallResult& result) {
           const int status = driver.MaxBulkSize(*size);
           if (status == PST_OK) result.value = *size;
           return status;
         }).status;
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
