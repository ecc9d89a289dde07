#include "engine/processing/core_services.h"

#include <array>

#include "engine/images/file_load_worker.h"
#include "engine/images/file_save_workers.h"
#include "pellwick/pellwick.h"

namespace {

int ListUsbDevices(std::uint16_t app, const char* interfaceName, std::vector<std::uint16_t>& ids) {
  std::array<std::uint16_t, PWL_MAX_DEVICES> found{};
  int count = 0;
  const int result = PWLGetDevicesEx(app, interfaceName, &count, found.data());
  ids.clear();
  if (result == PWL_RC_SUCCESS) {
    for (int i = 0; i < count && i < PWL_MAX_DEVICES; ++i) ids.push_back(found[i]);
  }
  return result;
}

}  // namespace

CoreServices DefaultCoreServices() {
  CoreServices services;
  services.listUsbDevices = &ListUsbDevices;
  services.startFileLoad = &StartFileLoadWorker;
  services.startSRecordSave = &StartSRecordSaveWorker;
  services.startBinarySave = &StartBinarySaveWorker;
  return services;
}
