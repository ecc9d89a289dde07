#pragma once
// pellwick: the USB communication library.
//
// Client applications take one of PWL_MAX_APPS application slots, list and
// select USB devices that the driver library Quor_PST offers, move bulk data
// and command transfers, and are told of device arrival and removal. Every
// export returns one of the PWL_RC codes below (1 is success). The library may
// be called from several threads at once.
//
// Application indexes and device ids are 16-bit values; device ids 0 to 126
// are used. Window handles and thread ids are the platform layer's
// process-wide handles (platform/target_registry.h).
//
// The driver library is loaded by name ("Quor_PST.DLL", that is
// libQuor_PST.so beside the program) by the first PWLInitialize or
// PWLInitializeEx. The debug trace goes to the sink that the environment
// variable QUILLON_PWL_TRACE names ("stderr" or a file); it is off otherwise.

#include <stdint.h>

// The functions this library exports; everything else in it is hidden.
#ifndef PELLWICK_EXPORT
#if defined(__GNUC__)
#define PELLWICK_EXPORT __attribute__((visibility("default")))
#else
#define PELLWICK_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Result codes of every export.
typedef enum PWL_RC {
  PWL_RC_SUCCESS = 1,
  PWL_RC_FAILURE = 0,                  // a driver status without a code of its own
  PWL_RC_NO_FREE_APP = -1,             // no free application slot
  PWL_RC_DRIVER_LOAD_FAILED = -2,      // driver cannot be loaded, maximum bulk size 0; driver status 5
  PWL_RC_BAD_APP_INDEX = -3,           // application index PWL_MAX_APPS or more
  PWL_RC_APP_NOT_REGISTERED = -4,      // application slot not registered
  PWL_RC_DRIVER_NOT_LOADED = -5,       // driver not loaded, cannot be freed, entry point missing
  PWL_RC_UNINITIALIZE_FAILED = -6,     // the driver's uninitialise failed
  PWL_RC_NO_DEVICE = -7,               // no device; driver status 6
  PWL_RC_READ_TIMEOUT = -8,            // driver status 59
  PWL_RC_WRITE_TIMEOUT = -9,           // driver status 8
  PWL_RC_NO_INTERFACE_HANDLE = -10,    // the driver gave a handle below 1
  PWL_RC_NOT_BOUND = -12,              // entry point not bound, or driver layer not initialised
  PWL_RC_NOT_OPENED = -13,             // no interface handle, or arrival wait timed out
  PWL_RC_EVENT_FAILED = -14,           // the arrival event cannot be created
  PWL_RC_STILL_INITIALIZED = -15,      // last application cannot terminate while initialised
  PWL_RC_READ_SHORT = -16,             // driver status 60
  PWL_RC_DRIVER_STATUS_58 = -17,       // driver status 58
  PWL_RC_DEVICE_BUSY = -20,            // device already selected by an application
  PWL_RC_DEVICE_ABSENT = -21,          // device absent
  PWL_RC_TOO_MANY_DEVICES = -22,       // more than 127 devices listed
  PWL_RC_NO_SELECTED_DEVICE = -23,     // the application has no selected device
  PWL_RC_BAD_DEVICE_ID = -24,          // device id above 126
  PWL_RC_TRANSFER_FAILED = -25,        // any other failure inside a transfer
} PWL_RC;

// Limits. Every open link to a radio holds an application slot of its own
// for as long as it is open, beside the program's own registration, so there
// is a slot for a link to each of the 127 device ids and one for the program:
// a job for every connected radio never runs out of slots.
#define PWL_MAX_APPS 128
#define PWL_MAX_DEVICES 127
#define PWL_MAX_DEVICE_ID 126

// Interface names and the interface kinds that name them.
#define PWL_INTERFACE_FLASH "Corvane_Flash"
#define PWL_INTERFACE_BOOT "Corvane_Boot"
#define PWL_INTERFACE_TEST_COMMAND "Corvane_Test_Command"

// Client interface kinds carried in lParam of the arrival and removal messages.
#define PWL_KIND_FLASH 0
#define PWL_KIND_BOOT 1
#define PWL_KIND_TEST_COMMAND 2
#define PWL_KIND_UNKNOWN 255

// Messages posted to registered client windows and threads.
#define WM_PWL_DEVICE_ARRIVAL 0x8032      // wParam device id, lParam client kind
#define WM_PWL_DEVICE_REMOVAL 0x8033      // wParam device id, lParam client kind
#define WM_PWL_CONNECTION_CHANGE 0x8034   // wParam 0x30000 + device id, lParam address of PWL_DEVICE_EVENT

// Messages the driver library posts to the library's hidden window.
#define WM_PST_DEVICE_ARRIVAL 0x8064      // wParam device id, lParam driver interface kind
#define WM_PST_DEVICE_REMOVAL 0x8065

// The record of WM_PWL_CONNECTION_CHANGE. Every message carries a record of
// its own (owned by the message, freed with it); lParam is its address, valid
// while the receiver handles the message.
typedef struct PWL_DEVICE_EVENT {
  uint16_t tag;       // 0xF0F0
  uint8_t arrived;    // 1 arrival, 0 removal
  uint8_t reserved;   // 0
  uint32_t device;    // 0x30000 + device id
} PWL_DEVICE_EVENT;

// Lifetime and driver binding.
PELLWICK_EXPORT int PWLInitialize(int16_t* app);
PELLWICK_EXPORT int PWLInitializeEx(void);
PELLWICK_EXPORT int PWLRegisterApp(int16_t* app);
PELLWICK_EXPORT int PWLDeregisterApp(uint16_t app);
PELLWICK_EXPORT int PWLTerminate(uint16_t app);
PELLWICK_EXPORT int PWLTerminateEx(uint16_t app);
PELLWICK_EXPORT int PWLInitPST(void);
PELLWICK_EXPORT int PWLTerminatePST(void);

// Applications and devices.
PELLWICK_EXPORT int PWLGetDevices(uint16_t app, const char* interfaceName);
PELLWICK_EXPORT int PWLGetDevicesEx(uint16_t app, const char* interfaceName, int* count, uint16_t* ids);
PELLWICK_EXPORT int PWLReleaseDevices(uint16_t app, const char* interfaceName);
PELLWICK_EXPORT int PWLSelectDevice(uint16_t app, uint16_t device);
PELLWICK_EXPORT int PWLDeselectDevice(uint16_t app);
PELLWICK_EXPORT int PWLFreeDeviceID(uint16_t app, uint16_t device);
PELLWICK_EXPORT int PWLQueryDevInterface(uint16_t app, uint16_t device, const char* interfaceName);
PELLWICK_EXPORT int PWLRefreshConnection(void);
PELLWICK_EXPORT int PWLGetDeviceInterfaceHandle(uint16_t app, const char* interfaceName, int* handle);
PELLWICK_EXPORT int PWLGetDeviceInterfaceHandleEx(uint16_t app, uint16_t device, const char* interfaceName,
                                                  int* handle);
PELLWICK_EXPORT int PWLSelectDeviceInterface(uint16_t app, uint16_t device, const char* interfaceName);
PELLWICK_EXPORT int PWLGetBulkWriteEpSize(uint16_t app, int16_t* size);
PELLWICK_EXPORT int PWLGetBulkReadEpSize(uint16_t app, int16_t* size);
PELLWICK_EXPORT int PWLSetCommunicationProtocol(uint16_t app, int protocol);

// Data transfer. Lengths are in bytes (in: wanted or to send; out: moved,
// also on failure), time-outs in milliseconds.
PELLWICK_EXPORT int PWLReadData(uint16_t app, void* buffer, int* length, uint32_t timeoutMs);
PELLWICK_EXPORT int PWLReadDataEx(uint16_t app, const char* interfaceName, uint16_t device, void* buffer, int* length,
                                  uint32_t timeoutMs);
PELLWICK_EXPORT int PWLWriteData(uint16_t app, const void* buffer, uint32_t* length, uint32_t timeoutMs);
PELLWICK_EXPORT int PWLWriteDataEx(uint16_t app, const char* interfaceName, uint16_t device, const void* buffer,
                                   uint32_t* length, uint32_t timeoutMs);
PELLWICK_EXPORT int PWLReadQ9TCommand(uint16_t app, const void* header, void* destination, uint32_t* length,
                                      uint32_t timeoutMs);
PELLWICK_EXPORT int PWLReadQ9TCommandEx(uint16_t app, uint16_t device, const void* header, void* destination,
                                        uint32_t* length, uint32_t timeoutMs);
PELLWICK_EXPORT int PWLWriteQ9TCommand(uint16_t app, const void* buffer, uint32_t* length, uint32_t timeoutMs);
PELLWICK_EXPORT int PWLWriteQ9TCommandEx(uint16_t app, uint16_t device, const void* buffer, uint32_t* length,
                                         uint32_t timeoutMs);

// Notifications and arrival waits.
PELLWICK_EXPORT int PWLSetThrdMsgHandler(uint16_t app, uint32_t threadId);
PELLWICK_EXPORT int PWLSetAppHandler(uint16_t app, uint32_t window);
PELLWICK_EXPORT int PWLQueryDeviceArrival(uint16_t app, int unused, uint32_t elapseMs);
PELLWICK_EXPORT int PWLQueryDeviceArrivalEx(uint16_t app, uint16_t device, int interfaceKind, uint32_t elapseMs);

#ifdef __cplusplus
}
#endif
