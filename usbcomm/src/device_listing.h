#pragma once
// Asking the driver for its device list and for interface handles, with the
// library's lock held.

#include <cstdint>
#include <vector>

#include "library_state.h"

namespace pellwick {

// The connected device ids into State().deviceIdList. PWL_RC_SUCCESS, or the
// failure code; a failing driver status is traced, with its code when asked.
int ReadDeviceList(bool traceStatusCode);

// Records a usable interface of a device as a listing does: the handle
// table, the present flag, and the device's record (found by id) with its
// handle and endpoint sizes by name. A record that an application has
// selected is left as it is.
int RecordListedDevice(std::uint16_t device, int handle, const char* name);

}  // namespace pellwick
