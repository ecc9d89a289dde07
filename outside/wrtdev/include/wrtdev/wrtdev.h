#pragma once
// The parallel-port driver stand-in. Devices \\.\WRTdev0 to \\.\WRTdev3 map
// to /dev/parport0 to /dev/parport3 through Linux ppdev (claimed while open);
// one control call executes a batch of 12-byte line records:
//   op 4  {4, 0, byte}  writes the data (output) register;
//   op 1  {1, 1, ?}     reads the input lines into data (bit 0x40 DSO, 0x80 frozen);
//   op 42 {42, 1, ?}    the clear command: the status byte into data.
//
// With the fake backend (WrtFake_Enable(1), or the environment variable
// QUILLON_WRTDEV_FAKE=1) no hardware is touched: devices whose bit is set in
// the present mask open, output writes are recorded and input reads are
// answered from a queue of scripted bytes (then from the steady input byte).

#include <stdint.h>

// The functions this library exports; everything else in it is hidden.
#ifndef WRTDEV_EXPORT
#if defined(__GNUC__)
#define WRTDEV_EXPORT __attribute__((visibility("default")))
#else
#define WRTDEV_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define WRTDEV_IOCTL_BATCH 0x9C4A2800u
#define WRTDEV_INVALID_HANDLE (-1)

// Opens "\\.\WRTdevN" (or "WRTdevN"); a handle, or WRTDEV_INVALID_HANDLE.
WRTDEV_EXPORT int WrtOpenDevice(const char* name);
// Executes the batch in place (in and out are the same buffer of n * 12
// bytes); 1 on success, 0 on failure.
WRTDEV_EXPORT int WrtDeviceIoControl(int handle, uint32_t code, void* buffer, uint32_t bytes, uint32_t* returned);
WRTDEV_EXPORT int WrtCloseDevice(int handle);

// The fake backend.
WRTDEV_EXPORT void WrtFake_Enable(int on);
WRTDEV_EXPORT void WrtFake_Reset();
WRTDEV_EXPORT void WrtFake_SetPresent(uint32_t mask);       // devices that open (default: all four)
WRTDEV_EXPORT void WrtFake_SetInput(uint8_t input);         // the steady input byte
WRTDEV_EXPORT void WrtFake_QueueInput(uint8_t input);       // answered by the next op-1 read
WRTDEV_EXPORT void WrtFake_SetClearStatus(uint8_t status);  // answered by op 42
WRTDEV_EXPORT int WrtFake_OutputCount(void);                // output writes recorded
WRTDEV_EXPORT int WrtFake_Output(int index);                // the recorded byte (with its device in bits 8-15)
WRTDEV_EXPORT int WrtFake_ControlCalls(void);               // batch calls made
WRTDEV_EXPORT int WrtFake_OpenDevices(void);                // handles open now

#ifdef __cplusplus
}
#endif
