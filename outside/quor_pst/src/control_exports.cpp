// The test-control interface of the stand-in.

#include <cstring>

#include "quor_pst/quor_sim_control.h"
#include "stand_in.h"

namespace {
quor_pst::StandIn& Driver() { return quor_pst::StandIn::Instance(); }
}  // namespace

extern "C" {

void QuorSim_Reset(void) { Driver().Reset(); }

int QuorSim_DefineDevice(uint16_t device, unsigned interfaces, int16_t outEpSize, int16_t inEpSize) {
  return Driver().Define(device, interfaces, outEpSize, inEpSize);
}

int QuorSim_Plug(uint16_t device) { return Driver().Plug(device); }
int QuorSim_Unplug(uint16_t device) { return Driver().Unplug(device); }
int QuorSim_IsPlugged(uint16_t device) { return Driver().IsPlugged(device) ? 1 : 0; }

void QuorSim_SetMaxBulkSize(int size) { Driver().SetMaxBulkSize(size); }

void QuorSim_ForceStatus(const char* function, int status, int count) {
  if (function) Driver().Forced().Force(function, status, count);
}

void QuorSim_ClearForcedStatuses(void) { Driver().Forced().Clear(); }

int QuorSim_QueueCommandReply(uint16_t device, const void* data, uint32_t length) {
  return Driver().QueueCommandReply(device, data, length);
}

int QuorSim_CallCount(void) { return Driver().Log().Count(); }

int QuorSim_GetCall(int index, QuorSimCall* call) {
  auto entry = Driver().Log().At(index);
  if (!entry || !call) return -1;
  *call = *entry;
  return 0;
}

void QuorSim_ClearCallLog(void) { Driver().Log().Clear(); }

int QuorSim_CountCalls(const char* function) { return function ? Driver().Log().CountOf(function) : 0; }

uint32_t QuorSim_DeviceChangeWindow(void) { return Driver().ChangeWindow(); }
uint32_t QuorSim_UsbMonitorWindow(void) { return Driver().MonitorWindow(); }

int QuorSim_SocketPath(char* buffer, int capacity) {
  std::string path = Driver().SocketPath();
  if (path.empty() || !buffer || capacity <= 0 || path.size() + 1 > static_cast<std::size_t>(capacity)) return -1;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<int>(path.size());
}

}  // extern "C"
