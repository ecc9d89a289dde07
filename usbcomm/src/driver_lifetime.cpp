#include "driver_lifetime.h"

#include "os_kind.h"
#include "pwl_codes.h"
#include "pwl_trace.h"

namespace pellwick {

UnloadedDriver::~UnloadedDriver() {
  if (thread) thread->Stop();
  thread.reset();
  library.reset();
}

int LoadDriver(StateLock& lock, UnloadedDriver& failed) {
  (void)lock;
  LibraryState& s = State();
  if (s.driver.Loaded()) return PWL_RC_SUCCESS;
  if (!s.driver.Load()) {
    PwlTrace(0, "Load Library Failed!");
    return PWL_RC_DRIVER_LOAD_FAILED;
  }
  PwlTrace(0, "Load Library OK");
  if (!s.driver.Bind()) return PWL_RC_DRIVER_NOT_LOADED;

  int size = 0;
  int status = s.Pst().getMaxBulkDataSize(&size);
  if (status != kPstOk || size <= 0) {
    s.driver.ClearBindings();
    failed.library = s.driver.Release();
    return PWL_RC_DRIVER_LOAD_FAILED;
  }
  s.maxBulkSize = static_cast<std::uint32_t>(size);

  s.msgThread = std::make_unique<CPWLMsgThread>();
  if (s.Pst().registerDeviceChange) s.Pst().registerDeviceChange(s.msgThread->Window());
  s.msgThread->Create();
  s.osClass = GetOsKind(ReportedOsVersion(), s.osClass);
  return PWL_RC_SUCCESS;
}

UnloadedDriver UnloadDriver(StateLock& lock, bool unregisterUsbMonitor) {
  LibraryState& s = State();
  s.unloading = true;
  s.changed.wait(lock, [&] { return s.activeTransfers == 0; });
  s.unloading = false;
  if (s.Pst().unregisterDeviceChange) s.Pst().unregisterDeviceChange();
  if (unregisterUsbMonitor && s.Pst().unregisterUsbMonitor) s.Pst().unregisterUsbMonitor();
  UnloadedDriver unloaded;
  unloaded.library = s.driver.Release();
  PwlTrace(0, "Free Library OK");
  s.driver.ClearBindings();
  unloaded.thread = std::move(s.msgThread);
  s.maxBulkSize = 0;
  return unloaded;
}

}  // namespace pellwick
