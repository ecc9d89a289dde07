#pragma once
// The outside USB driver library Quor_PST, loaded by name, and its 16 entry
// points bound in the order the library looks them up.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dynamic_library.h"

namespace pellwick {

struct PstFunctions {
  using Plain = int (*)();
  using Transfer = int (*)(std::uint16_t device, int handle, int pipe, void* buffer, std::uint32_t* length,
                           std::uint32_t timeoutMs);
  using WriteTransfer = int (*)(std::uint16_t device, int handle, int pipe, const void* buffer,
                                std::uint32_t* length, std::uint32_t timeoutMs);
  using InterfaceHandle = int (*)(std::uint16_t device, const char* name, int* handle);
  using DeviceList = int (*)(std::uint16_t* ids, int capacity, int* count);
  using WindowCall = int (*)(std::uint32_t window);
  using MaxBulk = int (*)(int* size);
  using EpSize = int (*)(std::uint16_t device, std::int16_t* size);
  using EpSizeByName = int (*)(std::uint16_t device, const char* name, std::int16_t* size);

  Plain initialize = nullptr;
  Plain uninitialize = nullptr;
  Transfer readData = nullptr;
  WriteTransfer writeData = nullptr;
  InterfaceHandle getInterfaceHandle = nullptr;
  DeviceList getDeviceList = nullptr;
  Plain refreshConnections = nullptr;
  WindowCall registerDeviceChange = nullptr;
  Plain unregisterDeviceChange = nullptr;
  WindowCall registerUsbMonitor = nullptr;
  Plain unregisterUsbMonitor = nullptr;
  MaxBulk getMaxBulkDataSize = nullptr;
  EpSize getOutBulkEpSize = nullptr;
  EpSizeByName getOutBulkEpSizeEx = nullptr;
  EpSize getInBulkEpSize = nullptr;
  EpSizeByName getInBulkEpSizeEx = nullptr;
};

// The name the driver library is loaded by.
std::string DriverLibraryName();
// Tests load a variant of the driver library under another name.
void SetDriverLibraryName(const std::string& name);

class PstDriver {
 public:
  // Loads the library; false when it cannot be loaded.
  bool Load();
  bool Loaded() const { return library_ != nullptr; }
  // Looks up every entry point; the first one missing frees the library
  // and yields false.
  bool Bind();
  void ClearBindings() { functions_ = PstFunctions{}; }
  // Hands the library over (to be freed outside the library's lock).
  std::unique_ptr<platform::DynamicLibrary> Release() { return std::move(library_); }

  const PstFunctions& Functions() const { return functions_; }

 private:
  std::unique_ptr<platform::DynamicLibrary> library_;
  PstFunctions functions_;
};

}  // namespace pellwick
