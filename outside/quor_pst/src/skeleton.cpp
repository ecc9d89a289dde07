// Placeholder driver until the stand-in is filled in: no devices.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include "quor_pst/quor_pst.h"

extern "C" {
int Quor_PSTInitialize(void) { return PST_NO_DEVICE; }
int Quor_PSTUninitialize(void) { return PST_NO_DEVICE; }
int Quor_PSTReadData(uint16_t device, int handle, int pipe, void* buffer, uint32_t* length, uint32_t timeoutMs) { return PST_NO_DEVICE; }
int Quor_PSTWriteData(uint16_t device, int handle, int pipe, const void* buffer, uint32_t* length, uint32_t timeoutMs) { return PST_NO_DEVICE; }
int Quor_PSTGetInterfaceHandle(uint16_t device, const char* interfaceName, int* handle) { return PST_NO_DEVICE; }
int Quor_PSTGetDeviceList(uint16_t* ids, int capacity, int* count) { return PST_NO_DEVICE; }
int Quor_PSTRefreshConnections(void) { return PST_NO_DEVICE; }
int Quor_PSTRegisterDeviceChangeNotification(uint32_t window) { return PST_NO_DEVICE; }
int Quor_PSTUnregisterDeviceChangeNotification(void) { return PST_NO_DEVICE; }
int Quor_PSTRegisterUSBMonitor(uint32_t window) { return PST_NO_DEVICE; }
int Quor_PSTUnregisterUSBMonitor(void) { return PST_NO_DEVICE; }
int Quor_PSTGetMaxBulkDataSize(int* size) { return PST_NO_DEVICE; }
int Quor_PSTGetOutBulkEpSize(uint16_t device, int16_t* size) { return PST_NO_DEVICE; }
int Quor_PSTGetOutBulkEpSizeEx(uint16_t device, const char* interfaceName, int16_t* size) { return PST_NO_DEVICE; }
int Quor_PSTGetInBulkEpSize(uint16_t device, int16_t* size) { return PST_NO_DEVICE; }
int Quor_PSTGetInBulkEpSizeEx(uint16_t device, const char* interfaceName, int16_t* size) { return PST_NO_DEVICE; }
}
