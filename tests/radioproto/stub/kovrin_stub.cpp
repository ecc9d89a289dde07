// A stub of the USB device monitor's exports: each records its call and
// returns the result the test set.

#include "kovrin_stub.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/event.h"

namespace {

struct Call {
  int count = 0;
  int lastId = -1;
};

std::mutex gLock;
std::map<std::string, int> gResults;
std::map<std::string, Call> gCalls;
std::map<int, std::string> gPaths;
std::vector<int16_t> gSmartphones;
std::map<int, platform::Event*> gEvents;

int Record(const char* name, uint16_t id) {
  std::lock_guard lock(gLock);
  auto& call = gCalls[name];
  ++call.count;
  call.lastId = id;
  auto it = gResults.find(name);
  return it == gResults.end() ? 1 : it->second;
}

}  // namespace

// The stub is built with hidden visibility like the libraries it stands
// beside; its control functions and the monitor's exports it answers stay
// visible to the tests and to the library that loads it by name.
#pragma GCC visibility push(default)
extern "C" {

void KovrinStub_Reset(void) {
  std::lock_guard lock(gLock);
  gResults.clear();
  gCalls.clear();
  gPaths.clear();
  gSmartphones.clear();
  gEvents.clear();
}

void KovrinStub_SetResult(const char* exportName, int result) {
  std::lock_guard lock(gLock);
  gResults[exportName] = result;
}

void KovrinStub_SetInterfacePath(uint16_t usbPort, const char* path) {
  std::lock_guard lock(gLock);
  gPaths[usbPort] = path;
}

void KovrinStub_SetSmartphones(int count, const int16_t* ports) {
  std::lock_guard lock(gLock);
  gSmartphones.assign(ports, ports + count);
}

int KovrinStub_Calls(const char* exportName) {
  std::lock_guard lock(gLock);
  return gCalls[exportName].count;
}

int KovrinStub_LastId(const char* exportName) {
  std::lock_guard lock(gLock);
  return gCalls[exportName].lastId;
}

int KovrinStub_HasRemovalEvent(uint16_t id) {
  std::lock_guard lock(gLock);
  return gEvents.count(id) ? 1 : 0;
}

int KovrinStub_RemovalPending(uint16_t id) {
  std::lock_guard lock(gLock);
  auto it = gEvents.find(id);
  return it != gEvents.end() && it->second->IsSet() ? 1 : 0;
}

void KovrinStub_SignalRemoval(void) {
  std::lock_guard lock(gLock);
  for (auto& [id, event] : gEvents) event->Set();
}

int KovrinInitialize(uint16_t id) { return Record("KovrinInitialize", id); }
int KovrinTerminate(uint16_t id) { return Record("KovrinTerminate", id); }
int KovrinStart(uint16_t id) { return Record("KovrinStart", id); }
int KovrinStop(uint16_t id) { return Record("KovrinStop", id); }
int KovrinSetAppshWnd(uint16_t id, uint32_t) { return Record("KovrinSetAppshWnd", id); }
int KovrinSetDeviceNotificationEvent(uint16_t id, void* event) {
  const int r = Record("KovrinSetDeviceNotificationEvent", id);
  std::lock_guard lock(gLock);
  if (event) {
    gEvents[id] = static_cast<platform::Event*>(event);
  } else {
    gEvents.erase(id);
  }
  return r;
}
int KovrinSubscribeThreadMessage(uint16_t id, uint32_t) { return Record("KovrinSubscribeThreadMessage", id); }
int KovrinUnsubscribeThreadMessage(uint16_t id) { return Record("KovrinUnsubscribeThreadMessage", id); }
int KovrinGetModemCommPort(uint16_t id, int* com) {
  if (com) *com = 7;
  return Record("KovrinGetModemCommPort", id);
}
int KovrinGetRS232Ports(uint16_t id, int* count, int*) {
  if (count) *count = 0;
  return Record("KovrinGetRS232Ports", id);
}
int KovrinGetModemCOMPortFromUSBPortID(uint16_t id, uint16_t, int16_t* com, uint32_t) {
  if (com) *com = 9;
  return Record("KovrinGetModemCOMPortFromUSBPortID", id);
}
int KovrinGetUSBDevInterfaceFromUSBPort(uint16_t id, uint16_t port, const char** path, uint32_t) {
  const int r = Record("KovrinGetUSBDevInterfaceFromUSBPort", id);
  std::lock_guard lock(gLock);
  auto it = gPaths.find(port);
  if (path) *path = it == gPaths.end() ? nullptr : it->second.c_str();
  return it == gPaths.end() ? -1013 : r;
}
int KovrinGetBulkInEndpointMaxPacketSizeEx(uint16_t id, uint16_t, const char*, int16_t* size) {
  if (size) *size = 64;
  return Record("KovrinGetBulkInEndpointMaxPacketSizeEx", id);
}
int KovrinGetBulkOutEndpointMaxPacketSizeEx(uint16_t id, uint16_t, const char*, int16_t* size) {
  if (size) *size = 64;
  return Record("KovrinGetBulkOutEndpointMaxPacketSizeEx", id);
}
int KovrinGetSmartphoneList(uint16_t id, int* count, int16_t* ports) {
  const int r = Record("KovrinGetSmartphoneList", id);
  std::lock_guard lock(gLock);
  if (count) *count = static_cast<int>(gSmartphones.size());
  if (ports && !gSmartphones.empty()) std::memcpy(ports, gSmartphones.data(), gSmartphones.size() * sizeof(int16_t));
  return r;
}
int KovrinGetUSBDeviceConnectedPorts(uint16_t id, int* count, int16_t*) {
  if (count) *count = 0;
  return Record("KovrinGetUSBDeviceConnectedPorts", id);
}
int KovrinGetUSBMdmConnectedUSBPort(uint16_t id, int16_t*) { return Record("KovrinGetUSBMdmConnectedUSBPort", id); }
int KovrinGetProductName(uint16_t id, uint16_t, char* text) {
  if (text) std::strcpy(text, "Stub Radio");
  return Record("KovrinGetProductName", id);
}
int KovrinGetDevDesc(uint16_t id, uint16_t, char* text) {
  if (text) std::strcpy(text, "Stub Modem");
  return Record("KovrinGetDevDesc", id);
}
int KovrinGetTotalUSBPortsOnPC(uint16_t id, int16_t*) { return Record("KovrinGetTotalUSBPortsOnPC", id); }
int KovrinDeviceIsHub(uint16_t id, uint16_t, int* out) {
  if (out) *out = 0;
  return Record("KovrinDeviceIsHub", id);
}
int KovrinCheckTestCmdEPUsage(uint16_t id, uint16_t, int* out) {
  if (out) *out = 1;
  return Record("KovrinCheckTestCmdEPUsage", id);
}

}  // extern "C"
#pragma GCC visibility pop
