#pragma once
// How a starter ends a job that it cannot start: WM_JOB_ERROR with a new
// ErrorRecord {device, event code, engine error code} and no details, to
// the core thread, which handles it like the failure of a running
// operation.

#include <cstdint>

#include "engine/core/device_number.h"

void PostStarterFailure(DeviceNumber device, std::int32_t eventCode, std::int32_t errorCode);
// The failure event of a job code (12 for a flash, 22 for a reverse flash,
// ...); 1 for codes without one.
std::int32_t FailedEventOfJob(std::uint32_t jobCode);
