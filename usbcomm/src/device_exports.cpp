// Applications and devices: listing, selecting and releasing devices,
// interface handles and endpoint sizes.

#include "device_listing.h"
#include "device_mutex.h"
#include "library_state.h"
#include "pellwick/pellwick.h"
#include "pwl_codes.h"
#include "pwl_trace.h"

namespace pellwick {

namespace {

// Exceptions never leave an export; in the interface-handle exports they are 0.
template <class Body>
int Guarded(Body body) {
  try {
    return body();
  } catch (...) {
    return PWL_RC_FAILURE;
  }
}

// The handle of a device's named interface; PWL_RC_SUCCESS or the failure.
int AskInterfaceHandle(std::uint16_t device, const char* name, int& handle) {
  const PstFunctions& f = State().Pst();
  if (!f.getInterfaceHandle) return PWL_RC_NOT_BOUND;
  handle = 0;
  int status = f.getInterfaceHandle(device, name, &handle);
  return status == kPstOk ? PWL_RC_SUCCESS : MapPstStatus(status);
}

// A device of the listing that offers no usable interface of the name.
void MarkUnusable(std::uint16_t device) {
  PWL_DEVICE_RECORD* record = State().devices.Find(device);
  if (!record || record->state == kDeviceSelected) return;
  record->owner = kNoOwner;
  record->state = kDeviceAbsent;
}

int ListDevices(unsigned app, const char* name, int* count, std::uint16_t* ids) {
  LibraryState& s = State();
  if (!count || !ids || !name) return PWL_RC_FAILURE;
  *count = 0;
  if (int rc = s.apps.Check(app); rc != PWL_RC_SUCCESS) return rc;
  if (int rc = ReadDeviceList(false); rc != PWL_RC_SUCCESS) return rc;
  int result = PWL_RC_NO_DEVICE;
  int k = 0;
  for (std::size_t j = 0; j < s.deviceIdList.size(); ++j) {
    const std::uint16_t d = s.deviceIdList[j];
    if (!DeviceTable::ValidId(d)) continue;
    if (!s.Pst().getInterfaceHandle) return PWL_RC_NOT_BOUND;
    int h = 0;
    if (s.Pst().getInterfaceHandle(d, name, &h) != kPstOk) {
      PwlTrace(0, "USBGetInterfaceHandle failed!!!");
      continue;
    }
    PwlTrace(0, "USBGetInterfaceHandle OK with Interface Handle: %p", reinterpret_cast<void*>(static_cast<std::intptr_t>(h)));
    if (h < 1) {
      MarkUnusable(d);
      continue;
    }
    if (int rc = RecordListedDevice(d, h, name); rc != PWL_RC_SUCCESS) return rc;
    s.devices.SetListed(j, d);
    ids[k++] = d;
    *count = k;
    s.apps[app].protocol = 0;
    result = PWL_RC_SUCCESS;
  }
  *count = k;
  return result;
}

// The first listed device's handle into `handle`, its id into `device`.
int FirstListedHandle(const char* name, std::uint16_t& device, int& handle, bool traceStatusCode) {
  LibraryState& s = State();
  if (int rc = ReadDeviceList(traceStatusCode); rc != PWL_RC_SUCCESS) return rc;
  device = s.deviceIdList.front();
  if (!DeviceTable::ValidId(device)) return PWL_RC_BAD_DEVICE_ID;
  if (int rc = AskInterfaceHandle(device, name, handle); rc != PWL_RC_SUCCESS) {
    PwlTrace(0, "USBGetInterfaceHandle failed!!!");
    return rc == PWL_RC_NOT_BOUND ? rc : PWL_RC_NO_DEVICE;
  }
  return handle < 1 ? PWL_RC_NO_INTERFACE_HANDLE : PWL_RC_SUCCESS;
}

void TraceHandle(int handle) {
  PwlTrace(0, "Get Interface Handle: %p", reinterpret_cast<void*>(static_cast<std::intptr_t>(handle)));
}

}  // namespace

}  // namespace pellwick

using namespace pellwick;

extern "C" {

int PWLGetDevicesEx(uint16_t app, const char* interfaceName, int* count, uint16_t* ids) {
  auto lock = LockState();
  return ListDevices(app, interfaceName, count, ids);
}

int PWLGetDevices(uint16_t app, const char* interfaceName) {
  auto lock = LockState();
  LibraryState& s = State();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (s.apps[app].state == kAppFree) return PWL_RC_NO_INTERFACE_HANDLE;
  if (!interfaceName) return PWL_RC_FAILURE;
  std::uint16_t device = 0;
  int handle = 0;
  if (int rc = FirstListedHandle(interfaceName, device, handle, true); rc != PWL_RC_SUCCESS) return rc;
  const PstFunctions& f = s.Pst();
  if (!f.getOutBulkEpSize || !f.getInBulkEpSize) return PWL_RC_NOT_BOUND;
  PWL_APP_RECORD& slot = s.apps[app];
  slot.interfaceHandle = handle;
  slot.deviceId = static_cast<std::int16_t>(device);
  std::int16_t size = 0;
  slot.writeEpSize = f.getOutBulkEpSize(device, &size) == kPstOk ? size : 0;
  size = 0;
  slot.readEpSize = f.getInBulkEpSize(device, &size) == kPstOk ? size : 0;
  return PWL_RC_SUCCESS;
}

int PWLReleaseDevices(uint16_t app, const char* interfaceName) {
  (void)app;
  (void)interfaceName;
  auto lock = LockState();
  return ReleaseDeviceMutex();
}

int PWLSelectDevice(uint16_t app, uint16_t device) {
  auto lock = LockState();
  LibraryState& s = State();
  if (int rc = s.apps.Check(app); rc != PWL_RC_SUCCESS) return rc;
  if (!DeviceTable::ValidId(device)) return PWL_RC_BAD_DEVICE_ID;
  PWL_DEVICE_RECORD* record = s.devices.Find(device);
  if (!record || record->state == kDeviceAbsent) return PWL_RC_DEVICE_ABSENT;
  if (record->state == kDeviceSelected) return PWL_RC_DEVICE_BUSY;
  PWL_APP_RECORD& slot = s.apps[app];
  slot.interfaceHandle = record->interfaceHandle;
  slot.deviceId = static_cast<std::int16_t>(device);
  slot.state = kAppSelected;
  slot.writeEpSize = record->writeEpSize;
  slot.readEpSize = record->readEpSize;
  slot.protocol = record->interfaceKind;
  record->owner = static_cast<std::int16_t>(app);
  record->state = kDeviceSelected;
  return PWL_RC_SUCCESS;
}

int PWLDeselectDevice(uint16_t app) {
  auto lock = LockState();
  LibraryState& s = State();
  if (int rc = s.apps.Check(app); rc != PWL_RC_SUCCESS) return rc;
  int result = PWL_RC_NO_SELECTED_DEVICE;
  if (PWL_DEVICE_RECORD* record = s.devices.OwnedBy(app)) {
    record->owner = kNoOwner;
    record->state = kDevicePresent;
    result = PWL_RC_SUCCESS;
  }
  PWL_APP_RECORD& slot = s.apps[app];
  slot.interfaceHandle = -1;
  slot.deviceId = -1;
  slot.state = kAppDeselected;
  return result;
}

int PWLFreeDeviceID(uint16_t app, uint16_t device) {
  (void)app;
  auto lock = LockState();
  if (PWL_DEVICE_RECORD* record = State().devices.Find(device)) DeviceTable::Free(*record);
  return PWL_RC_SUCCESS;
}

int PWLQueryDevInterface(uint16_t app, uint16_t device, const char* interfaceName) {
  auto lock = LockState();
  LibraryState& s = State();
  if (!DeviceTable::ValidId(device)) return PWL_RC_BAD_DEVICE_ID;
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!interfaceName) return PWL_RC_FAILURE;
  int handle = 0;
  if (int rc = AskInterfaceHandle(device, interfaceName, handle); rc != PWL_RC_SUCCESS) return rc;
  TraceHandle(handle);
  if (handle < 1) return PWL_RC_NO_INTERFACE_HANDLE;
  if (PWL_DEVICE_RECORD* record = s.devices.Find(device)) record->interfaceHandle = handle;
  s.devices.HandleOf(device) = handle;
  s.apps[app].interfaceHandle = handle;
  return PWL_RC_SUCCESS;
}

int PWLRefreshConnection(void) {
  auto lock = LockState();
  const PstFunctions& f = State().Pst();
  if (!f.refreshConnections) return PWL_RC_NOT_BOUND;
  return MapPstStatus(f.refreshConnections());
}

int PWLGetDeviceInterfaceHandle(uint16_t app, const char* interfaceName, int* handle) {
  return Guarded([&]() -> int {
    auto lock = LockState();
    LibraryState& s = State();
    if (!handle || !interfaceName) return PWL_RC_FAILURE;
    *handle = -1;
    if (s.apps.Check(app) != PWL_RC_SUCCESS) return PWL_RC_FAILURE;
    std::uint16_t device = 0;
    int h = 0;
    if (FirstListedHandle(interfaceName, device, h, true) != PWL_RC_SUCCESS) return PWL_RC_FAILURE;
    *handle = h;
    TraceHandle(h);
    return RecordListedDevice(device, h, interfaceName) == PWL_RC_SUCCESS ? PWL_RC_SUCCESS : PWL_RC_FAILURE;
  });
}

int PWLGetDeviceInterfaceHandleEx(uint16_t app, uint16_t device, const char* interfaceName, int* handle) {
  return Guarded([&]() -> int {
    auto lock = LockState();
    LibraryState& s = State();
    if (!handle || !interfaceName) return PWL_RC_FAILURE;
    *handle = 0;
    if (s.apps.Check(app) != PWL_RC_SUCCESS || !DeviceTable::ValidId(device)) return PWL_RC_FAILURE;
    int h = 0;
    if (AskInterfaceHandle(device, interfaceName, h) != PWL_RC_SUCCESS || h < 1) return PWL_RC_FAILURE;
    *handle = h;
    TraceHandle(h);
    return RecordListedDevice(device, h, interfaceName) == PWL_RC_SUCCESS ? PWL_RC_SUCCESS : PWL_RC_FAILURE;
  });
}

int PWLSelectDeviceInterface(uint16_t app, uint16_t device, const char* interfaceName) {
  return Guarded([&]() -> int {
    auto lock = LockState();
    LibraryState& s = State();
    if (!interfaceName) return PWL_RC_FAILURE;
    if (int rc = s.apps.Check(app); rc != PWL_RC_SUCCESS) return rc;
    if (!DeviceTable::ValidId(device)) return PWL_RC_BAD_DEVICE_ID;
    int h = 0;
    if (AskInterfaceHandle(device, interfaceName, h) != PWL_RC_SUCCESS || h < 1) return PWL_RC_FAILURE;
    return RecordListedDevice(device, h, interfaceName) == PWL_RC_SUCCESS ? PWL_RC_SUCCESS : PWL_RC_FAILURE;
  });
}

int PWLGetBulkWriteEpSize(uint16_t app, int16_t* size) {
  auto lock = LockState();
  LibraryState& s = State();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!size) return PWL_RC_FAILURE;
  const PWL_APP_RECORD& slot = s.apps[app];
  if (slot.interfaceHandle <= 0) {
    *size = 0;
    return PWL_RC_NO_DEVICE;
  }
  *size = slot.writeEpSize;
  return PWL_RC_SUCCESS;
}

int PWLGetBulkReadEpSize(uint16_t app, int16_t* size) {
  auto lock = LockState();
  LibraryState& s = State();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (!size) return PWL_RC_FAILURE;
  const PWL_APP_RECORD& slot = s.apps[app];
  if (slot.interfaceHandle <= 0) {
    *size = 0;
    return PWL_RC_NO_DEVICE;
  }
  *size = slot.readEpSize;
  return PWL_RC_SUCCESS;
}

int PWLSetCommunicationProtocol(uint16_t app, int protocol) {
  auto lock = LockState();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  State().apps[app].protocol = protocol;
  return PWL_RC_SUCCESS;
}

}  // extern "C"
