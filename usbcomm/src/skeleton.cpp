// Placeholder exports until the library is filled in: every call fails.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include "pellwick/pellwick.h"

extern "C" {
int PWLInitialize(int16_t* app) { return PWL_RC_FAILURE; }
int PWLInitializeEx(void) { return PWL_RC_FAILURE; }
int PWLRegisterApp(int16_t* app) { return PWL_RC_FAILURE; }
int PWLDeregisterApp(uint16_t app) { return PWL_RC_FAILURE; }
int PWLTerminate(uint16_t app) { return PWL_RC_FAILURE; }
int PWLTerminateEx(uint16_t app) { return PWL_RC_FAILURE; }
int PWLInitPST(void) { return PWL_RC_FAILURE; }
int PWLTerminatePST(void) { return PWL_RC_FAILURE; }
int PWLGetDevices(uint16_t app, const char* interfaceName) { return PWL_RC_FAILURE; }
int PWLGetDevicesEx(uint16_t app, const char* interfaceName, int* count, uint16_t* ids) { return PWL_RC_FAILURE; }
int PWLReleaseDevices(uint16_t app, const char* interfaceName) { return PWL_RC_FAILURE; }
int PWLSelectDevice(uint16_t app, uint16_t device) { return PWL_RC_FAILURE; }
int PWLDeselectDevice(uint16_t app) { return PWL_RC_FAILURE; }
int PWLFreeDeviceID(uint16_t app, uint16_t device) { return PWL_RC_FAILURE; }
int PWLQueryDevInterface(uint16_t app, uint16_t device, const char* interfaceName) { return PWL_RC_FAILURE; }
int PWLRefreshConnection(void) { return PWL_RC_FAILURE; }
int PWLGetDeviceInterfaceHandle(uint16_t app, const char* interfaceName, int* handle) { return PWL_RC_FAILURE; }
int PWLGetDeviceInterfaceHandleEx(uint16_t app, uint16_t device, const char* interfaceName, int* handle) { return PWL_RC_FAILURE; }
int PWLSelectDeviceInterface(uint16_t app, uint16_t device, const char* interfaceName) { return PWL_RC_FAILURE; }
int PWLGetBulkWriteEpSize(uint16_t app, int16_t* size) { return PWL_RC_FAILURE; }
int PWLGetBulkReadEpSize(uint16_t app, int16_t* size) { return PWL_RC_FAILURE; }
int PWLSetCommunicationProtocol(uint16_t app, int protocol) { return PWL_RC_FAILURE; }
int PWLReadData(uint16_t app, void* buffer, int* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLReadDataEx(uint16_t app, const char* interfaceName, uint16_t device, void* buffer, int* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLWriteData(uint16_t app, const void* buffer, uint32_t* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLWriteDataEx(uint16_t app, const char* interfaceName, uint16_t device, const void* buffer, uint32_t* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLReadQ9TCommand(uint16_t app, const void* header, void* destination, uint32_t* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLReadQ9TCommandEx(uint16_t app, uint16_t device, const void* header, void* destination, uint32_t* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLWriteQ9TCommand(uint16_t app, const void* buffer, uint32_t* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLWriteQ9TCommandEx(uint16_t app, uint16_t device, const void* buffer, uint32_t* length, uint32_t timeoutMs) { return PWL_RC_FAILURE; }
int PWLSetThrdMsgHandler(uint16_t app, uint32_t threadId) { return PWL_RC_FAILURE; }
int PWLSetAppHandler(uint16_t app, uint32_t window) { return PWL_RC_FAILURE; }
int PWLQueryDeviceArrival(uint16_t app, int unused, uint32_t elapseMs) { return PWL_RC_FAILURE; }
int PWLQueryDeviceArrivalEx(uint16_t app, uint16_t device, int interfaceKind, uint32_t elapseMs) { return PWL_RC_FAILURE; }
}
