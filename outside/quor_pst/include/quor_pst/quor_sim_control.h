#pragma once
// The test-control interface of the Quor_PST stand-in: define devices, plug
// and unplug them, force the status of any driver call, read the call log.
// A process that links libQuor_PST.so shares the one stand-in that pellwick
// loads by name. See outside/quor_pst/README.md for how a device process
// attaches to the data plane.

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

// Interface bits of QuorSim_DefineDevice.
#define QUOR_SIM_FLASH 0x1
#define QUOR_SIM_BOOT 0x2
#define QUOR_SIM_TEST_COMMAND 0x4

// Back to the start: no devices, no forced statuses, empty call log, default
// maximum bulk size (4096), no registered windows. Attached device processes
// are disconnected.
QUOR_PST_EXPORT void QuorSim_Reset(void);

// Defines (or redefines) a device that is not plugged. Any 16-bit id is
// accepted, so that tests can list ids a real bus never gives (above 126).
// Returns 0, or -1 for a bad argument (no interface, endpoint size below 1).
QUOR_PST_EXPORT int QuorSim_DefineDevice(uint16_t device, unsigned interfaces, int16_t outEpSize, int16_t inEpSize);
// Plugging posts an arrival per interface and a change record; unplugging the
// removals and a change record. Returns 0, or -1 for an unknown device.
QUOR_PST_EXPORT int QuorSim_Plug(uint16_t device);
QUOR_PST_EXPORT int QuorSim_Unplug(uint16_t device);
QUOR_PST_EXPORT int QuorSim_IsPlugged(uint16_t device);

QUOR_PST_EXPORT void QuorSim_SetMaxBulkSize(int size);
// The next `count` calls of the named driver function (for example
// "Quor_PSTWriteData") return `status` without doing anything; lengths they
// report become 0. count -1: every call until cleared. Forcing status 0 makes
// a transfer that succeeds but moves nothing.
QUOR_PST_EXPORT void QuorSim_ForceStatus(const char* function, int status, int count);
QUOR_PST_EXPORT void QuorSim_ClearForcedStatuses(void);

// Command-pipe replies: the next command read of the device returns these
// bytes (after its 8-byte header, which the read leaves in place).
QUOR_PST_EXPORT int QuorSim_QueueCommandReply(uint16_t device, const void* data, uint32_t length);

// The call log: every driver call in order.
typedef struct QuorSimCall {
  char function[48];   // e.g. "Quor_PSTReadData"
  uint16_t device;     // 0xFFFF when the call has none
  int handle;
  int pipe;
  uint32_t requested;  // length asked
  uint32_t moved;      // length moved
  uint32_t timeoutMs;
  int status;          // the status returned
} QuorSimCall;
QUOR_PST_EXPORT int QuorSim_CallCount(void);
// 0 and the entry, or -1 for an index out of range.
QUOR_PST_EXPORT int QuorSim_GetCall(int index, QuorSimCall* call);
QUOR_PST_EXPORT void QuorSim_ClearCallLog(void);
// How many times a driver function was called since the last clear.
QUOR_PST_EXPORT int QuorSim_CountCalls(const char* function);

// The windows the driver posts to (0 none).
QUOR_PST_EXPORT uint32_t QuorSim_DeviceChangeWindow(void);
QUOR_PST_EXPORT uint32_t QuorSim_UsbMonitorWindow(void);

// The data-plane socket that device processes attach to: the environment
// variable QUOR_PST_SOCKET when set, else a socket in a fresh temporary
// folder. Copies the NUL-terminated path into buffer; returns its length, or
// -1 when the buffer is too small or the socket could not be opened.
QUOR_PST_EXPORT int QuorSim_SocketPath(char* buffer, int capacity);

#ifdef __cplusplus
}
#endif
