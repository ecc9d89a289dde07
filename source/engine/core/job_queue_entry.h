#pragma once
// One element of the core thread's job queue.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/device_number.h"
#include "engine/core/error_record.h"
#include "engine/core/job_payload.h"
#include "engine/core/job_request.h"

enum JobEntryState : std::int32_t {
  ENTRY_READY = 0,         // ready; stays 0 while its operation runs
  ENTRY_LOAD_PENDING = 1,  // its image file must be loaded first
  ENTRY_FAILED = 2,        // failed before start; error holds the failure
  ENTRY_LOADING = 3,       // its image file is being loaded
  ENTRY_SAVING = 4,        // the read-back image is being saved to a file
  ENTRY_INDEPENDENT_RUNNING = 5,  // a device-independent entry that runs
  ENTRY_SAVE_FAILED = 6,   // its read-back could not be saved; Retry saves again
};

struct JobQueueEntry {
  std::uint32_t jobCode = 0;
  DeviceNumber device = 0;  // never -1
  std::int32_t state = ENTRY_READY;
  // The number the core thread gave the request; shared by all entries
  // fanned out from one request.
  std::int32_t sequenceNumber = 0;
  JobPayload payload;  // owned; freed when the entry leaves the queue
  std::int32_t cancel = 0;  // 1 when the entry is to be dropped
  std::unique_ptr<ErrorRecord> error;  // set when the entry failed before it could start
  // 1 for the work of a script or remote line: a client learns its end
  // from the run status, so dropping it must say so.
  std::int32_t acceptedLine = 0;
};

// The entries of one request: one per device (for a request to every USB
// device, the devices present when it is queued; otherwise the request's own
// device). The first entry takes the request's payload, every further entry
// gets a deep copy of its own, so entries never share a payload, a region
// list or a buffer. When there are several devices, a job that writes a
// file (a read-back, a RAM dump) writes one per device: DeviceFileName of
// the given name. One device keeps the name exactly. No devices gives no
// entries (the payload is freed with the request).
std::vector<std::unique_ptr<JobQueueEntry>> FanOutJobRequest(CJobRequest& request,
                                                             const std::vector<DeviceNumber>& devices,
                                                             std::int32_t sequenceNumber);
