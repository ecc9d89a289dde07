#pragma once
// The record of one failure, posted with WM_JOB_ERROR to the core thread.
// The core thread passes a copy of it on inside a DeviceStatusRecord to the
// main dialog, which frees that copy; the queued one stays with its sender
// or queue entry.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/device_number.h"
#include "engine/core/error_details.h"

struct ErrorRecord {
  DeviceNumber device = 0;
  std::int32_t eventCode = 0;
  std::int32_t errorCode = 0;  // engine error code (GetKernelErrorText)
  // A copy of the device object's last error details; zero where the
  // failure has none.
  ErrorDetails details;
  // The system's reason for the failure (e.g. "/dev/quillon/COM2: No such
  // file or directory"), logged after the error line; empty for none.
  std::string systemReason;

  bool operator==(const ErrorRecord&) const = default;
};

// A record with the details copied from *details, or zero details when
// details is null, and the system's reason when one is given.
std::unique_ptr<ErrorRecord> MakeErrorRecord(DeviceNumber device, std::int32_t eventCode,
                                             std::int32_t errorCode, const ErrorDetails* details,
                                             const std::string* systemReason = nullptr);
std::unique_ptr<ErrorRecord> CloneErrorRecord(const ErrorRecord* record);
