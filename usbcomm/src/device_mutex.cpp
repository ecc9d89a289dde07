#include "device_mutex.h"

#include "os_kind.h"
#include "pellwick/pellwick.h"
#include "pwl_trace.h"

namespace pellwick {

namespace {
// The system error of a call on a handle that was never set.
constexpr int kInvalidHandleError = 6;
}  // namespace

int WaitDeviceMutex(int osClass) {
  // Without a handle the wait of DeviceMutexTimeoutMs(osClass) cannot start.
  (void)osClass;
  return PWL_RC_DEVICE_BUSY;
}

int ReleaseDeviceMutex() {
  PwlTrace(0, "Before calling ReleaseMutex");
  PwlTrace(0, "After calling ReleaseMutex");
  PwlTrace(0, "ReleaseMutex error: %d", kInvalidHandleError);
  return PWL_RC_FAILURE;
}

}  // namespace pellwick
