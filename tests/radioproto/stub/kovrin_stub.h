#pragma once
// Control of the stub USB device monitor: the result every export gives,
// the answers it writes, the calls it saw, and the removal events it was
// handed (which a test sets as the monitor does on a device removal).

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void KovrinStub_Reset(void);
// The result of the named export (default 1).
void KovrinStub_SetResult(const char* exportName, int result);
// The interface path KovrinGetUSBDevInterfaceFromUSBPort gives for a port.
void KovrinStub_SetInterfacePath(uint16_t usbPort, const char* path);
// The ports of KovrinGetSmartphoneList.
void KovrinStub_SetSmartphones(int count, const int16_t* ports);
// How often the named export was called, and the id of its last call.
int KovrinStub_Calls(const char* exportName);
int KovrinStub_LastId(const char* exportName);
// Whether the id has a removal event registered now.
int KovrinStub_HasRemovalEvent(uint16_t id);
// Whether the id's removal event is set and not yet taken by its watcher.
int KovrinStub_RemovalPending(uint16_t id);
// Sets every registered removal event, as a device removal does.
void KovrinStub_SignalRemoval(void);

#ifdef __cplusplus
}
#endif
