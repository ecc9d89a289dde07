#pragma once
// The program's dispatcher: the starter of every job code. A starter sets
// up the device object that the operation needs from the options copy in
// the entry's payload, writes its "Starting" line to the log and starts the
// operation on a worker thread of the object's own; the end comes back to
// the core thread as a message. A starter that cannot start its operation
// (a refused start, a missing image, the GPS-chip jobs this build does not
// have) posts WM_JOB_ERROR {device, failed event, error code}, so the job
// ends like a failed operation and never leaves the slot busy.

#include <array>
#include <cstdint>

#include "engine/core/region_list.h"
#include "engine/processing/device_objects.h"
#include "engine/processing/job_dispatcher.h"

class CJobStarters : public CJobDispatcher {
 public:
  CJobStarters();
  ~CJobStarters() override;

  DispatchResult DispatchJob(JobQueueEntry& entry, const DispatchContext& context) override;
  void AbortDevice(DeviceNumber device) override;
  CPackManager* PackManagerOf(DeviceNumber device) override;
  std::shared_ptr<CPackManager> SharePackManagerOf(DeviceNumber device) override;

  CDeviceObjects& Objects() { return objects_; }

 private:
  using Starter = void (CJobStarters::*)(JobQueueEntry& entry, const DispatchContext& context);

  // The starter of a job code; null for numbers that are no job codes.
  static Starter StarterOf(std::uint32_t jobCode);

  void StartFlash(JobQueueEntry& entry, const DispatchContext& context);
  void StartErase(JobQueueEntry& entry, const DispatchContext& context);
  void StartReverseFlash(JobQueueEntry& entry, const DispatchContext& context);
  void StartRamDump(JobQueueEntry& entry, const DispatchContext& context);
  void StartCommCheck(JobQueueEntry& entry, const DispatchContext& context);
  void StartResetTarget(JobQueueEntry& entry, const DispatchContext& context);
  void StartProgramMagicKey(JobQueueEntry& entry, const DispatchContext& context);
  void StartCustomCommand(JobQueueEntry& entry, const DispatchContext& context);
  void StartOrvix(JobQueueEntry& entry, const DispatchContext& context);
  void StartFlashpackExtract(JobQueueEntry& entry, const DispatchContext& context);
  void StartFlashpackAdd(JobQueueEntry& entry, const DispatchContext& context);
  void StartFlashpackRemove(JobQueueEntry& entry, const DispatchContext& context);
  void StartFlashpackUpdateFlash(JobQueueEntry& entry, const DispatchContext& context);
  void StartFlashpackExtractAddFlash(JobQueueEntry& entry, const DispatchContext& context);
  void StartRalixFormat(JobQueueEntry& entry, const DispatchContext& context);
  void StartRalixFlashFile(JobQueueEntry& entry, const DispatchContext& context);
  void StartShutdown(JobQueueEntry& entry, const DispatchContext& context);
  void StartRemoteTransfer(JobQueueEntry& entry, const DispatchContext& context);
  void StartDeleteFile(JobQueueEntry& entry, const DispatchContext& context);

  // The partition image of each device's last flashpack flash, kept until
  // the device's next job starts (declared before the objects, so their
  // workers have ended when it goes).
  std::array<RegionListPtr, DEVICE_SLOT_COUNT> heldImages_{};
  CDeviceObjects objects_;
};
