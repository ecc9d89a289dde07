#include "pst_driver.h"

#include <mutex>

namespace pellwick {

namespace {

std::mutex& NameMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& NameStore() {
  static std::string name = "Quor_PST.DLL";
  return name;
}

// Looks up one entry point into its slot; false when it is missing.
template <class F>
bool BindOne(const platform::DynamicLibrary& library, const char* name, F& slot) {
  slot = library.Function<F>(name);
  return slot != nullptr;
}

}  // namespace

std::string DriverLibraryName() {
  std::lock_guard lock(NameMutex());
  return NameStore();
}

void SetDriverLibraryName(const std::string& name) {
  std::lock_guard lock(NameMutex());
  NameStore() = name;
}

bool PstDriver::Load() {
  library_ = platform::DynamicLibrary::Load(DriverLibraryName());
  return library_ != nullptr;
}

bool PstDriver::Bind() {
  if (!library_) return false;
  const auto& lib = *library_;
  PstFunctions& f = functions_;
  // The device-change pair is looked up a second time, as the original
  // binding order does; a second look-up finds the same entry points.
  bool bound = BindOne(lib, "Quor_PSTInitialize", f.initialize) &&
               BindOne(lib, "Quor_PSTUninitialize", f.uninitialize) &&
               BindOne(lib, "Quor_PSTReadData", f.readData) &&
               BindOne(lib, "Quor_PSTWriteData", f.writeData) &&
               BindOne(lib, "Quor_PSTGetInterfaceHandle", f.getInterfaceHandle) &&
               BindOne(lib, "Quor_PSTGetDeviceList", f.getDeviceList) &&
               BindOne(lib, "Quor_PSTRefreshConnections", f.refreshConnections) &&
               BindOne(lib, "Quor_PSTRegisterDeviceChangeNotification", f.registerDeviceChange) &&
               BindOne(lib, "Quor_PSTUnregisterDeviceChangeNotification", f.unregisterDeviceChange) &&
               BindOne(lib, "Quor_PSTRegisterUSBMonitor", f.registerUsbMonitor) &&
               BindOne(lib, "Quor_PSTUnregisterUSBMonitor", f.unregisterUsbMonitor) &&
               BindOne(lib, "Quor_PSTGetMaxBulkDataSize", f.getMaxBulkDataSize) &&
               BindOne(lib, "Quor_PSTRegisterDeviceChangeNotification", f.registerDeviceChange) &&
               BindOne(lib, "Quor_PSTUnregisterDeviceChangeNotification", f.unregisterDeviceChange) &&
               BindOne(lib, "Quor_PSTGetOutBulkEpSize", f.getOutBulkEpSize) &&
               BindOne(lib, "Quor_PSTGetOutBulkEpSizeEx", f.getOutBulkEpSizeEx) &&
               BindOne(lib, "Quor_PSTGetInBulkEpSize", f.getInBulkEpSize) &&
               BindOne(lib, "Quor_PSTGetInBulkEpSizeEx", f.getInBulkEpSizeEx);
  if (!bound) {
    ClearBindings();
    library_.reset();
  }
  return bound;
}

}  // namespace pellwick
