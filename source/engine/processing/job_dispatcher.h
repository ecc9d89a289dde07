#pragma once
// The side of the core processing thread that starts operations on device
// objects: DispatchJob hands a queue entry to the starter of its job code.
// The dispatcher owns the per-device objects; everything runs on the core
// thread.

#include <memory>

#include "engine/core/device_number.h"
#include "engine/core/job_queue_entry.h"
#include "engine/processing/kernel_image_slots.h"

class CPackManager;

// The answer of DispatchJob.
enum class DispatchResult {
  Started,      // the starter ran; the job's end comes back as a message
  UnknownCode,  // no starter for the job code: nothing started
};

struct DispatchContext {
  const CKernelImageSlots& kernels;
  bool interactive;
};

class CJobDispatcher {
 public:
  virtual ~CJobDispatcher() = default;
  virtual DispatchResult DispatchJob(JobQueueEntry& entry, const DispatchContext& context) = 0;
  // Asks the device's objects to abort the operation that runs.
  virtual void AbortDevice(DeviceNumber device) = 0;
  // The device's flashpack pack manager after an extract (borrowed), or null.
  virtual CPackManager* PackManagerOf(DeviceNumber device) = 0;
  // The same pack set with a share of its own (null when there is none).
  virtual std::shared_ptr<CPackManager> SharePackManagerOf(DeviceNumber device) {
    (void)device;
    return nullptr;
  }
};

// The program's dispatcher with every starter.
std::unique_ptr<CJobDispatcher> MakeJobDispatcher();
