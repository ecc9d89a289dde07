#pragma once
// The one worker thread that owns all device work: a single job queue for
// every device, sequence numbers, one slot per device, the flashing-kernel
// images, USB presence, the scheduler that starts at most one operation per
// device, the turning of device events into status records for the main
// dialog and log lines for the user-I/O thread, and "Processing Complete"
// when the queue runs empty. Other threads reach it only by messages.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/device_number.h"
#include "engine/core/error_record.h"
#include "engine/core/job_queue_entry.h"
#include "engine/processing/core_services.h"
#include "engine/processing/job_dispatcher.h"
#include "engine/processing/kernel_image_slots.h"
#include "platform/worker_thread.h"

class CJobRequest;
struct FileJobPayload;
struct FileLoadRequest;
struct FinishRecord;
struct ProgressRecord;

enum DeviceSlotState : std::int32_t {
  SLOT_IDLE = 0,
  SLOT_BUSY = 1,   // an operation runs, or its read-back file is being saved
  SLOT_ERROR = 3,  // the last operation failed; waiting for Retry or Cancel
};

class CCoreProcessingThread : public platform::WorkerThread {
 public:
  // Without a dispatcher the program's own (every starter) is used.
  explicit CCoreProcessingThread(std::unique_ptr<CJobDispatcher> dispatcher = nullptr,
                                 CoreServices services = DefaultCoreServices());
  ~CCoreProcessingThread() override;

 protected:
  bool InitInstance() override;
  int ExitInstance() override;
  bool OnIdle(long count) override;

 private:
  struct DeviceSlot {
    bool present = false;
    std::int32_t state = SLOT_IDLE;
    std::int32_t itemsStarted = 0;
    std::int32_t itemsQueued = 0;
    std::string errorReason;  // while in error: why, for the work that waits behind it
  };
  using EntryList = std::vector<std::unique_ptr<JobQueueEntry>>;

  void BuildMessageMap();

  void OnQueueJob(std::unique_ptr<CJobRequest> request);
  void OnJobProgress(std::unique_ptr<ProgressRecord> record);
  void OnJobFinished(std::unique_ptr<FinishRecord> record);
  void OnJobError(std::unique_ptr<ErrorRecord> record);
  void OnFileLoaded(std::unique_ptr<FileLoadRequest> request);
  void OnCancelDevice(DeviceNumber device);
  void OnRetryDevice(DeviceNumber device);
  void OnCancelQueued(std::unique_ptr<FinishRecord> record);
  void OnSaveReadFile(DeviceNumber device);
  void OnRalixProgress(std::uint32_t percent, std::intptr_t kind);
  // STATUS RESET: the work of every device in error is cancelled; the
  // user-I/O thread learns whether work remains.
  void OnResetRunStatus();

  bool LoadKernelImages();
  void RefreshUsbPresence();
  void QueueJob(CJobRequest& request);
  void RefuseRequest(const std::string& errorLine);
  // Frees the payload of a request that queued nothing and tells the main
  // window so.
  void DropRefusedRequest(CJobRequest& request);
  void AppendEntries(EntryList entries);

  void ScheduleJobs();
  void DropCancelled();
  void StartFileReads();
  void StartDeviceIndependent();
  void StartIdleDevices();
  void StartEntry(JobQueueEntry& entry);

  // The end of the part of the queue that scheduling looks at: just behind
  // the first device-independent entry, or the end of the queue.
  std::size_t VisibleEnd() const;
  JobQueueEntry* FirstEntryOf(DeviceNumber device, bool visibleOnly) const;
  std::vector<JobQueueEntry*> VisibleEntriesOf(DeviceNumber device) const;
  bool HasEntryFor(DeviceNumber device) const;
  // The device's head entry when its operation runs or saves (the slot is
  // busy); null otherwise, so that stray records change nothing.
  JobQueueEntry* RunningEntryOf(DeviceNumber device) const;
  void RemoveEntry(const JobQueueEntry* entry);
  // Flags every entry of the device; `accepted` (when given) counts those of
  // script and remote lines.
  std::int32_t FlagEntriesCancelled(DeviceNumber device, std::int32_t* accepted = nullptr);
  // Drops the queued work of a device in error, logs why and what, frees
  // the slot and resets the device's row. Returns how many dropped entries
  // were accepted lines' work.
  std::int32_t CancelDeviceInError(DeviceNumber device, const std::string& cause);
  // Every device in error gives up its work (STATUS RESET, TERMINATE_APP).
  void CancelDevicesInError(const std::string& cause);
  bool ShutdownQueued() const;
  bool WorkRemains() const;

  DeviceSlot* SlotOf(DeviceNumber device);
  void PostStatus(std::int32_t code, DeviceNumber device, std::int32_t percent,
                  const ErrorRecord* error = nullptr);
  // The sender's note for how the entry's job ended (see FileJobPayload).
  void LogNote(const JobQueueEntry& entry, std::string FileJobPayload::*note);
  void ReportUnqueued();
  void PostRunStatus(std::int32_t state, const std::string& text);
  // The run status once the queue has run empty: DONE after work, IDLE when
  // a reset left work that has now gone, nothing when nothing happened.
  void ReportQueueEmpty();

  std::unique_ptr<CJobDispatcher> dispatcher_;
  CoreServices services_;
  EntryList queue_;
  std::array<DeviceSlot, DEVICE_SLOT_COUNT> slots_{};
  CKernelImageSlots kernels_;
  bool interactive_ = false;
  std::int32_t sequenceCounter_ = 0;
  std::size_t lastIdleQueueLength_ = 0;
  // Jobs of script and remote lines received so far (see CJobRequest).
  std::int64_t acceptedJobsReceived_ = 0;
  // Set when entries were flagged cancelled or a pass must run again, so the
  // next idle pass schedules even though the queue length did not change.
  bool scheduleWanted_ = false;
  // What the queue running empty reports next (see ReportQueueEmpty).
  enum class EmptyQueueReport { Nothing, Idle, Done };
  EmptyQueueReport emptyQueueReport_ = EmptyQueueReport::Nothing;
};
