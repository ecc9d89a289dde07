#pragma once
// What the core thread posts to the main dialog for one device with
// WM_DEVICE_STATUS; the main dialog frees it (and its error record) after
// use. The error record is the record's own copy.

#include <cstdint>
#include <memory>

#include "engine/core/device_number.h"
#include "engine/core/error_record.h"

struct DeviceStatusRecord {
  std::int32_t eventCode = 0;
  DeviceNumber device = 0;
  std::int32_t itemsStarted = 0;
  std::int32_t itemsQueued = 0;
  std::int32_t percent = 0;  // 0 to 100
  std::unique_ptr<ErrorRecord> error;
  // The device's current job is the read-back that Flash Software started
  // with: its saved file starts the update flash.
  bool startsUpdateFlash = false;
};

// A status record carrying a copy of error (none when error is null), so the
// record that the core thread keeps and the one the main dialog frees are
// never the same.
std::unique_ptr<DeviceStatusRecord> MakeDeviceStatusRecord(std::int32_t eventCode, DeviceNumber device,
                                                           std::int32_t itemsStarted,
                                                           std::int32_t itemsQueued, std::int32_t percent,
                                                           const ErrorRecord* error = nullptr);
