#pragma once
// The end of a device operation {device, event code}, posted with
// WM_JOB_FINISHED or WM_CANCEL_QUEUED to the core thread, which frees it.

#include <cstdint>

#include "engine/core/device_number.h"

struct FinishRecord {
  DeviceNumber device = 0;
  std::int32_t eventCode = 0;
};
