// USB port queries forwarded to the USB device monitor.

#include "gantrel/gantrel.h"
#include "kovrin_binding.h"
#include "library_state.h"

using namespace gantrel;

namespace {

// The monitor's entry, or null when it is not bound.
template <class F>
F Entry(F KovrinEntries::*member) {
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  return lib.kovrin.entries().*member;
}

int Mapped(int result) { return result == kKovrinOk ? 0 : GANTREL_RC_MONITOR_FAILED; }
int MappedEndpoint(int result) {
  if (result == kKovrinOk) return 0;
  return result == kKovrinNoEndpoint ? GANTREL_RC_NO_ENDPOINT : GANTREL_RC_MONITOR_FAILED;
}

int CheckSlot(std::uint16_t id) {
  if (id >= kMaxApps) return GANTREL_RC_BAD_ID;
  auto& lib = Library();
  std::lock_guard lock(lib.lock);
  return lib.slots[id].allocated ? 0 : GANTREL_RC_NOT_ALLOCATED;
}

}  // namespace

extern "C" {

int QuorGetUSBModemPort(uint16_t id, int* com) {
  const auto f = Entry(&KovrinEntries::GetModemCommPort);
  if (!f) return GANTREL_RC_NOT_BOUND;
  if (int r = CheckSlot(id)) return r;
  return f(id, com) == kKovrinOk ? 0 : GANTREL_RC_BAD_PORT;
}

int QuorGetRS232Ports(uint16_t id, int* count, int* ports) {
  const auto f = Entry(&KovrinEntries::GetRS232Ports);
  if (!f) return GANTREL_RC_NOT_BOUND;
  if (int r = CheckSlot(id)) return r;
  return f(id, count, ports) == kKovrinOk ? 0 : GANTREL_RC_BAD_PORT;
}

int QuorGetUSBMdmPortFromUSBPort(uint16_t id, uint16_t usbPort, int16_t* com, uint32_t timeoutMs) {
  const auto f = Entry(&KovrinEntries::GetModemCOMPortFromUSBPortID);
  return f ? Mapped(f(id, usbPort, com, timeoutMs)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBDevInterfaceFromUSBPort(uint16_t id, uint16_t usbPort, const char** path, uint32_t timeoutMs) {
  const auto f = Entry(&KovrinEntries::GetUSBDevInterfaceFromUSBPort);
  return f ? Mapped(f(id, usbPort, path, timeoutMs)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBSmartphoneList(uint16_t id, int* count, int16_t* ports) {
  const auto f = Entry(&KovrinEntries::GetSmartphoneList);
  return f ? Mapped(f(id, count, ports)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBDeviceConnectedPorts(uint16_t id, int* count, int16_t* ports) {
  const auto f = Entry(&KovrinEntries::GetUSBDeviceConnectedPorts);
  return f ? Mapped(f(id, count, ports)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBDeviceProductName(uint16_t id, uint16_t usbPort, char* text) {
  const auto f = Entry(&KovrinEntries::GetProductName);
  return f ? Mapped(f(id, usbPort, text)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBDevDescription(uint16_t id, uint16_t usbPort, char* text) {
  const auto f = Entry(&KovrinEntries::GetDevDesc);
  return f ? Mapped(f(id, usbPort, text)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBMdmConnectedUSBPort(uint16_t id, int16_t* usbPort) {
  if (usbPort) *usbPort = -1;
  const auto f = Entry(&KovrinEntries::GetUSBMdmConnectedUSBPort);
  return f ? Mapped(f(id, usbPort)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBNumPortsOnPC(uint16_t id, int16_t* count) {
  if (count) *count = 0;
  const auto f = Entry(&KovrinEntries::GetTotalUSBPortsOnPC);
  return f ? Mapped(f(id, count)) : GANTREL_RC_NOT_BOUND;
}

int QuorUSBDeviceIsHub(uint16_t id, uint16_t usbPort, int* isHub) {
  const auto f = Entry(&KovrinEntries::DeviceIsHub);
  return f ? Mapped(f(id, usbPort, isHub)) : GANTREL_RC_NOT_BOUND;
}

int QuorQueryTCIEPUsage(uint16_t id, uint16_t usbPort, int* used) {
  const auto f = Entry(&KovrinEntries::CheckTestCmdEPUsage);
  return f ? Mapped(f(id, usbPort, used)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBInterfaceBulkInEndpointSize(uint16_t id, uint16_t usbPort, const char* interfaceName, int16_t* size) {
  const auto f = Entry(&KovrinEntries::GetBulkInEndpointMaxPacketSizeEx);
  return f ? MappedEndpoint(f(id, usbPort, interfaceName, size)) : GANTREL_RC_NOT_BOUND;
}

int QuorGetUSBInterfaceBulkOutEndpointSize(uint16_t id, uint16_t usbPort, const char* interfaceName, int16_t* size) {
  const auto f = Entry(&KovrinEntries::GetBulkOutEndpointMaxPacketSizeEx);
  return f ? MappedEndpoint(f(id, usbPort, interfaceName, size)) : GANTREL_RC_NOT_BOUND;
}

}  // extern "C"
