#pragma once
// Progress of a device operation, posted with WM_JOB_PROGRESS to the core
// thread, which frees it.

#include <cstdint>

#include "engine/core/device_number.h"

struct ProgressRecord {
  DeviceNumber device = 0;
  std::int32_t eventCode = 0;
  std::int32_t done = 0;
  std::int32_t total = 0;
};
