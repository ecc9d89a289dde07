#include "device_listing.h"

#include "pwl_codes.h"
#include "pwl_trace.h"

namespace pellwick {

namespace {
// Room for one id more than the table holds, so that too long a list shows.
constexpr int kListCapacity = PWL_MAX_DEVICES + 1;
}  // namespace

int ReadDeviceList(bool traceStatusCode) {
  LibraryState& s = State();
  s.deviceIdList.clear();
  if (!s.Pst().getDeviceList) return PWL_RC_NOT_BOUND;
  std::vector<std::uint16_t> ids(kListCapacity, 0);
  int count = 0;
  int status = s.Pst().getDeviceList(ids.data(), kListCapacity, &count);
  if (status != kPstOk && status != kPstNoDevice) {
    if (traceStatusCode) {
      PwlTrace(0, "USBGetDeviceList failed!!!, PST return code %d", status);
    } else {
      PwlTrace(0, "USBGetDeviceList failed!!!");
    }
    return MapPstStatus(status);
  }
  if (count < 1) {
    PwlTrace(0, "No device connected");
    return PWL_RC_NO_DEVICE;
  }
  PwlTrace(0, "%d devices connected", count);
  if (count > PWL_MAX_DEVICES) return PWL_RC_TOO_MANY_DEVICES;
  s.deviceIdList.assign(ids.begin(), ids.begin() + count);
  return PWL_RC_SUCCESS;
}

int RecordListedDevice(std::uint16_t device, int handle, const char* name) {
  LibraryState& s = State();
  const PstFunctions& f = s.Pst();
  if (!f.getOutBulkEpSizeEx || !f.getInBulkEpSizeEx) return PWL_RC_NOT_BOUND;
  s.devices.SetPresent(device, true);
  PWL_DEVICE_RECORD* record = s.devices.FindOrTake(device);
  if (!record || record->state == kDeviceSelected) return PWL_RC_SUCCESS;
  s.devices.HandleOf(device) = handle;
  record->interfaceHandle = handle;
  record->deviceId = device;
  record->state = kDevicePresent;
  std::int16_t size = 0;
  record->writeEpSize = f.getOutBulkEpSizeEx(device, name, &size) == kPstOk ? size : 0;
  size = 0;
  record->readEpSize = f.getInBulkEpSizeEx(device, name, &size) == kPstOk ? size : 0;
  record->interfaceKind = 0;
  return PWL_RC_SUCCESS;
}

}  // namespace pellwick
