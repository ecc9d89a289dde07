// Library lifetime: application slots, loading the driver library and the
// driver layer's initialisation.

#include "driver_lifetime.h"
#include "library_state.h"
#include "pellwick/pellwick.h"
#include "pwl_codes.h"
#include "pwl_trace.h"

namespace pellwick {

namespace {

// A slot that goes also lets go of the device it had selected, so that the
// device can be selected again.
void ReleaseSlotDevice(LibraryState& s, int app) {
  if (PWL_DEVICE_RECORD* record = s.devices.OwnedBy(app)) {
    record->owner = kNoOwner;
    record->state = kDevicePresent;
  }
}

int TerminateLocked(StateLock& lock, unsigned app, UnloadedDriver& unloaded) {
  LibraryState& s = State();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (s.apps[app].state == kAppFree) return PWL_RC_APP_NOT_REGISTERED;
  if (s.apps.Count() - 1 == 0 && s.driverInitialized) return PWL_RC_STILL_INITIALIZED;
  ReleaseSlotDevice(s, static_cast<int>(app));
  s.apps.Release(static_cast<int>(app));
  if (s.apps.Count() > 0) return PWL_RC_SUCCESS;
  if (!s.driver.Loaded()) {
    PwlTrace(0, "PST Core DLL not loaded");
    return PWL_RC_DRIVER_NOT_LOADED;
  }
  unloaded = UnloadDriver(lock, false);
  return PWL_RC_SUCCESS;
}

int TerminateExLocked(StateLock& lock, unsigned app, UnloadedDriver& unloaded) {
  LibraryState& s = State();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (s.apps.Count() > 0) return PWL_RC_SUCCESS;
  if (s.driverInitialized) return PWL_RC_STILL_INITIALIZED;
  if (!s.driver.Loaded()) {
    PwlTrace(0, "PST Core DLL not loaded");
    return PWL_RC_DRIVER_NOT_LOADED;
  }
  unloaded = UnloadDriver(lock, true);
  s.devices.ClearRecords();
  return PWL_RC_SUCCESS;
}

}  // namespace

}  // namespace pellwick

using namespace pellwick;

extern "C" {

int PWLInitialize(int16_t* app) {
  UnloadedDriver unloaded;  // destroyed after the lock is released
  auto lock = LockState();
  LibraryState& s = State();
  if (!app) return PWL_RC_FAILURE;
  int slot = s.apps.FindFree();
  if (slot < 0) return PWL_RC_NO_FREE_APP;
  s.apps.Take(slot, kAppSelected);
  *app = static_cast<int16_t>(slot);
  int rc = LoadDriver(lock, unloaded);
  if (rc != PWL_RC_SUCCESS) TerminateLocked(lock, static_cast<unsigned>(slot), unloaded);
  return rc;
}

int PWLInitializeEx(void) {
  UnloadedDriver unloaded;
  auto lock = LockState();
  LibraryState& s = State();
  if (s.apps.Count() == 0) s.devices.ClearRecords();
  int rc = LoadDriver(lock, unloaded);
  if (rc != PWL_RC_SUCCESS) TerminateExLocked(lock, 0, unloaded);
  return rc;
}

int PWLRegisterApp(int16_t* app) {
  auto lock = LockState();
  LibraryState& s = State();
  if (!app) return PWL_RC_FAILURE;
  int slot = s.apps.FindFree();
  if (slot < 0) return PWL_RC_NO_FREE_APP;
  s.apps.Take(slot, kAppRegistered);
  *app = static_cast<int16_t>(slot);
  return PWL_RC_SUCCESS;
}

int PWLDeregisterApp(uint16_t app) {
  auto lock = LockState();
  LibraryState& s = State();
  if (!AppSlots::InRange(app)) return PWL_RC_BAD_APP_INDEX;
  if (s.apps[app].state == kAppFree) return PWL_RC_APP_NOT_REGISTERED;
  ReleaseSlotDevice(s, app);
  s.apps.Release(app);
  return PWL_RC_SUCCESS;
}

int PWLTerminate(uint16_t app) {
  UnloadedDriver unloaded;
  auto lock = LockState();
  return TerminateLocked(lock, app, unloaded);
}

int PWLTerminateEx(uint16_t app) {
  UnloadedDriver unloaded;
  auto lock = LockState();
  return TerminateExLocked(lock, app, unloaded);
}

int PWLInitPST(void) {
  auto lock = LockState();
  LibraryState& s = State();
  if (s.driverInitialized) return PWL_RC_SUCCESS;
  if (!s.Pst().initialize) return PWL_RC_NOT_BOUND;
  if (s.Pst().initialize() != kPstOk) return PWL_RC_FAILURE;
  s.driverInitialized = true;
  s.arrivalSignalExists = true;
  return PWL_RC_SUCCESS;
}

int PWLTerminatePST(void) {
  auto lock = LockState();
  LibraryState& s = State();
  if (s.apps.Count() >= 2) return PWL_RC_SUCCESS;
  if (!s.driverInitialized || !s.Pst().uninitialize) return PWL_RC_NOT_BOUND;
  if (s.Pst().uninitialize() != kPstOk) {
    PwlTrace(0, "PSTUninitialize failed!!!");
    return PWL_RC_UNINITIALIZE_FAILED;
  }
  PwlTrace(0, "PSTUninitialize OK");
  s.driverInitialized = false;
  s.deviceIdList.clear();
  s.arrivalSignalExists = false;
  s.changed.notify_all();
  return PWL_RC_SUCCESS;
}

}  // extern "C"
