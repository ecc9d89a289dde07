#pragma once
// Quor_PST: the USB driver interface library (our stand-in for it).
// Every function returns an EPSTStatus; 0 is success.

#include <stdint.h>

// The functions the driver library exports; everything else in it is hidden.
#ifndef QUOR_PST_EXPORT
#if defined(__GNUC__)
#define QUOR_PST_EXPORT __attribute__((visibility("default")))
#else
#define QUOR_PST_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum EPSTStatus {
  PST_OK = 0,
  PST_NOT_INITIALIZED = 5,
  PST_NO_DEVICE = 6,          // the device is not connected
  PST_INVALID_PARAMETER = 7,  // a null pointer or an unknown pipe kind
  PST_WRITE_TIMEOUT = 8,      // nothing could be sent by the deadline
  PST_NO_INTERFACE = 13,      // the device offers no interface of that name or handle
  PST_ACCESS_DENIED = 14,     // the user may not open the device (the libusb driver only)
  PST_PIPE_BROKEN = 58,       // no device process is attached to the data plane, or it went away
  PST_READ_TIMEOUT = 59,      // nothing arrived by the deadline
  PST_READ_SHORT = 60,        // part of the wanted bytes arrived by the deadline
} EPSTStatus;

// Pipe kinds.
#define PST_PIPE_BULK 2
#define PST_PIPE_COMMAND 4

// Driver interface kinds (lParam of the arrival and removal messages).
#define PST_KIND_TEST_COMMAND 2
#define PST_KIND_FLASH 5
#define PST_KIND_BOOT 6

// Messages posted to the window given to Quor_PSTRegisterDeviceChangeNotification.
#define PST_WM_DEVICE_ARRIVAL 0x8064  // wParam device id, lParam driver interface kind
#define PST_WM_DEVICE_REMOVAL 0x8065

QUOR_PST_EXPORT int Quor_PSTInitialize(void);
QUOR_PST_EXPORT int Quor_PSTUninitialize(void);
QUOR_PST_EXPORT int Quor_PSTReadData(uint16_t device, int handle, int pipe, void* buffer, uint32_t* length,
                                     uint32_t timeoutMs);
QUOR_PST_EXPORT int Quor_PSTWriteData(uint16_t device, int handle, int pipe, const void* buffer, uint32_t* length,
                                      uint32_t timeoutMs);
QUOR_PST_EXPORT int Quor_PSTGetInterfaceHandle(uint16_t device, const char* interfaceName, int* handle);
// Fills up to capacity ids of the connected devices; *count is the number connected.
QUOR_PST_EXPORT int Quor_PSTGetDeviceList(uint16_t* ids, int capacity, int* count);
QUOR_PST_EXPORT int Quor_PSTRefreshConnections(void);
QUOR_PST_EXPORT int Quor_PSTRegisterDeviceChangeNotification(uint32_t window);
QUOR_PST_EXPORT int Quor_PSTUnregisterDeviceChangeNotification(void);
// Device-change records (message 0x800B, kovrin/usb_change_record.h) go to this window.
QUOR_PST_EXPORT int Quor_PSTRegisterUSBMonitor(uint32_t window);
QUOR_PST_EXPORT int Quor_PSTUnregisterUSBMonitor(void);
QUOR_PST_EXPORT int Quor_PSTGetMaxBulkDataSize(int* size);
QUOR_PST_EXPORT int Quor_PSTGetOutBulkEpSize(uint16_t device, int16_t* size);
QUOR_PST_EXPORT int Quor_PSTGetOutBulkEpSizeEx(uint16_t device, const char* interfaceName, int16_t* size);
QUOR_PST_EXPORT int Quor_PSTGetInBulkEpSize(uint16_t device, int16_t* size);
QUOR_PST_EXPORT int Quor_PSTGetInBulkEpSizeEx(uint16_t device, const char* interfaceName, int16_t* size);

#ifdef __cplusplus
}
#endif
