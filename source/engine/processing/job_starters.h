#pragma once
// The program's dispatcher: the starter of every job code. A starter sets
// up what the operation needs from the options copy in the entry's payload,
// writes its "Starting" line to the log and starts the operation; its end
// comes back to the core thread as a message. A starter that cannot start
// its operation posts WM_JOB_ERROR {device, failed event, error code}, so
// the job ends like a failed operation and never leaves the slot busy.

#include <cstdint>
#include <map>

#include "engine/processing/job_dispatcher.h"

class CJobStarters : public CJobDispatcher {
 public:
  CJobStarters();
  ~CJobStarters() override;

  DispatchResult DispatchJob(JobQueueEntry& entry, const DispatchContext& context) override;
  void AbortDevice(DeviceNumber device) override;
  CPackManager* PackManagerOf(DeviceNumber device) override;

 private:
  using Starter = void (CJobStarters::*)(JobQueueEntry& entry, const DispatchContext& context);

  void StartShutdown(JobQueueEntry& entry, const DispatchContext& context);
  void StartRemoteTransfer(JobQueueEntry& entry, const DispatchContext& context);
  void StartDeleteFile(JobQueueEntry& entry, const DispatchContext& context);
  void StartRalixFormat(JobQueueEntry& entry, const DispatchContext& context);
  void StartRalixFlashFile(JobQueueEntry& entry, const DispatchContext& context);
  void StartUnavailable(JobQueueEntry& entry, const DispatchContext& context);

  std::map<std::uint32_t, Starter> starters_;
};
