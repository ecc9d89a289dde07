#include "engine/processing/core_processing_thread.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "engine/core/app_settings.h"
#include "engine/core/device_event.h"
#include "engine/core/device_status_record.h"
#include "engine/core/file_load_request.h"
#include "engine/core/file_save_request.h"
#include "engine/core/finish_record.h"
#include "engine/core/flashpack_status_record.h"
#include "engine/core/job_kind_table.h"
#include "engine/core/job_options.h"
#include "engine/core/job_payload.h"
#include "engine/core/job_request.h"
#include "engine/core/kernel_error_text.h"
#include "engine/core/log_line.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/progress_record.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "engine/processing/smartphone_slot.h"
#include "engine/prompt/prompt_service.h"
#include "pellwick/pellwick.h"

namespace {

constexpr std::int32_t kRalixFormatKind = 1;
constexpr std::int32_t kStatusFormatting = EVENT_PHONE_FORMAT_PROGRESS;
constexpr std::int32_t kStatusFileFlashing = EVENT_FLASH_PROGRESS;
constexpr int kUsbAvailable = 1;
constexpr const char* kUsbFlashInterface = "Corvane_Flash";
constexpr const char* kUsbBootInterface = "Corvane_Boot";
// The run status texts of the core thread's own reports.
constexpr const char* kWorkQueuedText = "Job queued";
constexpr const char* kProcessingCompleteText = "Processing Complete";
constexpr const char* kStatusResetText = "Status reset to idle";
constexpr const char* kCancelledText = "Cancelled";
// What the log names as the cause of a cancel.
constexpr const char* kUserCancelCause = "User-initiated Cancel";
constexpr const char* kResetCancelCause = "Cancelled by STATUS RESET";
constexpr const char* kShutdownCancelCause = "Cancelled by TERMINATE_APP";

std::string Format(const char* format, const std::string& text) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, format, text.c_str());
  return buffer;
}

std::string Format(const char* format, const std::string& text, std::int32_t number) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, format, text.c_str(), number);
  return buffer;
}

// Work queued for a device in error waits: the line says so and why.
std::string WaitsForRetryOrCancelLine(DeviceNumber device, const std::string& reason) {
  return GetDeviceName(device) + "> ERROR: " + reason + " - waiting for Retry or Cancel";
}

DeviceNumber DeviceOf(platform::WParam wParam) {
  return static_cast<DeviceNumber>(static_cast<std::intptr_t>(wParam));
}

bool IsSlotDevice(DeviceNumber device) { return device >= 0 && device < DEVICE_SLOT_COUNT; }

bool IsQueueableDevice(DeviceNumber device) {
  return IsSlotDevice(device) || device == DEVICE_UNASSIGNED || device == DEVICE_INDEPENDENT;
}

bool StartsUpdateFlash(const JobQueueEntry* entry) {
  if (!entry || entry->jobCode != WM_REVERSE_FLASH) return false;
  const auto* readBack = entry->payload.Get<ReadBackPayload>();
  return readBack && readBack->startsUpdateFlash;
}

}  // namespace

CCoreProcessingThread::CCoreProcessingThread(std::unique_ptr<CJobDispatcher> dispatcher,
                                             CoreServices services)
    : dispatcher_(dispatcher ? std::move(dispatcher) : MakeJobDispatcher()),
      services_(std::move(services)) {
  BuildMessageMap();
}

CCoreProcessingThread::~CCoreProcessingThread() {
  PostQuit();
  Join();
  queue_.clear();
  dispatcher_.reset();
}

void CCoreProcessingThread::BuildMessageMap() {
  Map()
      .On<WM_QUIT_THREAD>([this] { PostQuitMessage(0); })
      .On<WM_QUEUE_JOB>([this](std::unique_ptr<CJobRequest> record) { OnQueueJob(std::move(record)); })
      .On<WM_JOB_PROGRESS>([this](std::unique_ptr<ProgressRecord> record) { OnJobProgress(std::move(record)); })
      .On<WM_JOB_FINISHED>([this](std::unique_ptr<FinishRecord> record) { OnJobFinished(std::move(record)); })
      .On<WM_JOB_ERROR>([this](std::unique_ptr<ErrorRecord> record) { OnJobError(std::move(record)); })
      .On<WM_FILE_LOADED>([this](std::unique_ptr<FileLoadRequest> record) { OnFileLoaded(std::move(record)); })
      .On<WM_CANCEL_DEVICE>([this](platform::Message& m) { OnCancelDevice(DeviceOf(m.wParam)); })
      .On<WM_RETRY_DEVICE>([this](platform::Message& m) { OnRetryDevice(DeviceOf(m.wParam)); })
      .On<WM_CANCEL_QUEUED>([this](std::unique_ptr<FinishRecord> record) { OnCancelQueued(std::move(record)); })
      .On<WM_SAVE_READ_FILE>([this](platform::Message& m) { OnSaveReadFile(DeviceOf(m.wParam)); })
      .On<WM_RALIX_PROGRESS>([this](platform::Message& m) {
        OnRalixProgress(static_cast<std::uint32_t>(m.wParam), m.lParam);
      })
      .On<WM_RESET_RUN_STATUS>([this] { OnResetRunStatus(); });
}

bool CCoreProcessingThread::InitInstance() {
  kernels_.Clear();
  slots_.fill(DeviceSlot{});
  return true;
}

int CCoreProcessingThread::ExitInstance() {
  for (auto& slot : slots_) {
    slot.itemsStarted = 0;
    slot.itemsQueued = 0;
  }
  for (auto& entry : queue_) FreeJobPayload(entry->jobCode, entry->payload);
  queue_.clear();
  return platform::WorkerThread::ExitInstance();
}

bool CCoreProcessingThread::OnIdle(long count) {
  (void)count;
  if (queue_.empty()) {
    lastIdleQueueLength_ = 0;
    scheduleWanted_ = false;
    ReportQueueEmpty();
    return false;
  }
  const bool changed = queue_.size() != lastIdleQueueLength_ || scheduleWanted_;
  lastIdleQueueLength_ = queue_.size();
  if (!changed) return false;
  scheduleWanted_ = false;
  ScheduleJobs();
  // One more pass: a pass that emptied the queue reports it at once.
  return true;
}

// ---- requests --------------------------------------------------------------

void CCoreProcessingThread::OnQueueJob(std::unique_ptr<CJobRequest> request) {
  if (!request) return;
  if (request->acceptedLine != 0) {
    ++acceptedJobsReceived_;
    // Its end is reported when the queue runs empty, also when it queued
    // nothing (a refusal has set ERROR by then).
    emptyQueueReport_ = EmptyQueueReport::Done;
  }
  interactive_ = request->interactive != 0;
  if (!IsQueueableDevice(request->device)) {
    char line[96];
    std::snprintf(line, sizeof line, "Error> Request for invalid device number %d refused",
                  request->device);
    RefuseRequest(line);
    DropRefusedRequest(*request);
    return;
  }
  // Device-independent work (shutdown, delete, transfers) needs no kernel,
  // so a missing kernel file never keeps the program from quitting.
  if (request->device != DEVICE_INDEPENDENT && !LoadKernelImages()) {
    DropRefusedRequest(*request);
    return;
  }
  RefreshUsbPresence();
  QueueJob(*request);
}

bool CCoreProcessingThread::LoadKernelImages() {
  for (;;) {
    const std::string error = kernels_.Load(GetAppSettings().GetAppString(APP_STRING_WORKING_DIRECTORY));
    if (error.empty()) return true;
    PostLogLine("Error> " + error);
    if (!interactive_) {
      auto report = std::make_unique<StatusReport>();
      report->state = STATUS_ERROR;
      PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
      return false;
    }
    auto prompt = std::make_unique<PromptRequest>();
    prompt->kind = PROMPT_RETRY_CANCEL;
    prompt->replyTarget = PT_CORE;
    prompt->wantReply = 1;
    if (!PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt))) return false;
    std::optional<platform::Message> reply = WaitForMessage(WM_PROMPT_REPLY);
    if (!reply || static_cast<std::int32_t>(reply->wParam) != kAnswerRetry) return false;
  }
}

void CCoreProcessingThread::RefreshUsbPresence() {
  auto clearAll = [this] {
    for (DeviceNumber d = DEVICE_FIRST_USB; d <= DEVICE_LAST_USB; ++d) slots_[d].present = false;
  };
  CAppSettings& settings = GetAppSettings();
  if (settings.GetAppInt(APP_INT_USB_AVAILABLE) != kUsbAvailable || !services_.listUsbDevices) {
    clearAll();
    return;
  }
  const auto app = static_cast<std::uint16_t>(settings.GetAppInt(APP_INT_USB_APP_HANDLE));
  std::vector<std::uint16_t> ids;
  const int flash = services_.listUsbDevices(app, kUsbFlashInterface, ids);
  if (flash != PWL_RC_SUCCESS && flash != PWL_RC_NO_DEVICE) {
    clearAll();
    return;
  }
  std::vector<std::uint16_t> bootIds;
  const int boot = services_.listUsbDevices(app, kUsbBootInterface, bootIds);
  ids.insert(ids.end(), bootIds.begin(), bootIds.end());
  if ((boot != PWL_RC_SUCCESS && boot != PWL_RC_NO_DEVICE) || (boot == PWL_RC_NO_DEVICE && ids.empty())) {
    clearAll();
    return;
  }
  clearAll();
  for (std::uint16_t id : ids) {
    if (IsUsbDevice(id)) slots_[id].present = true;
  }
}

void CCoreProcessingThread::ReportUnqueued() {
  if (interactive_) {
    auto prompt = std::make_unique<PromptRequest>();
    prompt->kind = PROMPT_ERROR;
    prompt->replyTarget = PT_CORE;
    prompt->wantReply = 0;
    PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
  } else {
    auto report = std::make_unique<StatusReport>();
    report->state = STATUS_ERROR;
    PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
  }
}

void CCoreProcessingThread::RefuseRequest(const std::string& errorLine) {
  PostLogLine(errorLine);
  ReportUnqueued();
}

void CCoreProcessingThread::DropRefusedRequest(CJobRequest& request) {
  FreeJobPayload(request.jobCode, request.payload);
  // The window may hold a command back until this request's work ends
  // (Flash Software does): nothing will come for it now.
  PostToTarget<WM_REQUEST_REFUSED>(PT_MAIN_WINDOW, request.jobCode, request.interactive != 0 ? 1 : 0);
}

void CCoreProcessingThread::AppendEntries(EntryList entries) {
  // An entry may arrive just as another left, so that the next idle pass
  // sees the same queue length: it must still schedule.
  if (entries.empty()) return;
  scheduleWanted_ = true;
  // Work arrives in a queue that had ended its work: BUSY until it ends.
  if (emptyQueueReport_ == EmptyQueueReport::Nothing) PostRunStatus(STATUS_BUSY, kWorkQueuedText);
  emptyQueueReport_ = EmptyQueueReport::Done;
  bool shutdown = false;
  for (auto& entry : entries) {
    if (entry->jobCode == WM_SHUTDOWN) shutdown = true;
    entry->state = JobNeedsImageFile(entry->jobCode) ? ENTRY_LOAD_PENDING : ENTRY_READY;
    PostLogLine(Format("%s> Queueing item with sequence number %d", GetDeviceName(entry->device),
               entry->sequenceNumber));
    const DeviceNumber device = entry->device;
    queue_.push_back(std::move(entry));
    if (DeviceSlot* slot = SlotOf(device)) {
      ++slot->itemsQueued;
      // Nothing of the device runs until the user answers its error.
      if (slot->state == SLOT_ERROR) PostLogLine(WaitsForRetryOrCancelLine(device, slot->errorReason));
      auto progress = std::make_unique<ProgressRecord>();
      progress->device = device;
      progress->eventCode = EVENT_STATUS_ITEM_QUEUED;
      PostToTarget<WM_JOB_PROGRESS>(PT_CORE, std::move(progress));
    }
  }
  // The program is to end: a device in error would hold the shutdown back
  // for ever, so its work is given up (healthy devices finish theirs first).
  if (shutdown) CancelDevicesInError(kShutdownCancelCause);
}

void CCoreProcessingThread::QueueJob(CJobRequest& request) {
  const std::int32_t sequence = sequenceCounter_;
  ++sequenceCounter_;
  if (request.device == DEVICE_UNASSIGNED) {
    std::vector<DeviceNumber> present;
    for (DeviceNumber d = DEVICE_FIRST_USB; d <= DEVICE_LAST_USB; ++d) {
      if (slots_[d].present) present.push_back(d);
    }
    if (present.empty()) {
      RefuseRequest("Error> USB capable radio not detected");
      DropRefusedRequest(request);
      return;
    }
    AppendEntries(FanOutJobRequest(request, present, sequence));
    return;
  }
  if (request.device == DEVICE_SMARTPHONE &&
      (!services_.smartphonePorts || services_.smartphonePorts().empty())) {
    RefuseRequest("Error> Smartphone not detected");
    DropRefusedRequest(request);
    return;
  }
  AppendEntries(FanOutJobRequest(request, {request.device}, sequence));
}

// ---- scheduling ------------------------------------------------------------

std::size_t CCoreProcessingThread::VisibleEnd() const {
  for (std::size_t i = 0; i < queue_.size(); ++i) {
    if (queue_[i]->device == DEVICE_INDEPENDENT) return i + 1;
  }
  return queue_.size();
}

JobQueueEntry* CCoreProcessingThread::FirstEntryOf(DeviceNumber device, bool visibleOnly) const {
  const std::size_t end = visibleOnly ? VisibleEnd() : queue_.size();
  for (std::size_t i = 0; i < end; ++i) {
    if (queue_[i]->device == device) return queue_[i].get();
  }
  return nullptr;
}

std::vector<JobQueueEntry*> CCoreProcessingThread::VisibleEntriesOf(DeviceNumber device) const {
  std::vector<JobQueueEntry*> entries;
  const std::size_t end = VisibleEnd();
  for (std::size_t i = 0; i < end; ++i) {
    if (queue_[i]->device == device) entries.push_back(queue_[i].get());
  }
  return entries;
}

bool CCoreProcessingThread::HasEntryFor(DeviceNumber device) const {
  return FirstEntryOf(device, false) != nullptr;
}

JobQueueEntry* CCoreProcessingThread::RunningEntryOf(DeviceNumber device) const {
  if (device == DEVICE_INDEPENDENT) {
    JobQueueEntry* entry = FirstEntryOf(device, false);
    return entry && entry->state == ENTRY_INDEPENDENT_RUNNING ? entry : nullptr;
  }
  if (!IsSlotDevice(device) || slots_[device].state != SLOT_BUSY) return nullptr;
  return FirstEntryOf(device, false);
}

void CCoreProcessingThread::RemoveEntry(const JobQueueEntry* entry) {
  auto it = std::find_if(queue_.begin(), queue_.end(), [entry](const auto& e) { return e.get() == entry; });
  if (it == queue_.end()) return;
  FreeJobPayload((*it)->jobCode, (*it)->payload);
  queue_.erase(it);
}

std::int32_t CCoreProcessingThread::FlagEntriesCancelled(DeviceNumber device, std::int32_t* accepted) {
  std::int32_t count = 0;
  for (auto& entry : queue_) {
    if (entry->device != device) continue;
    entry->cancel = 1;
    ++count;
    if (accepted && entry->acceptedLine != 0) ++*accepted;
  }
  scheduleWanted_ = true;
  return count;
}

std::int32_t CCoreProcessingThread::CancelDeviceInError(DeviceNumber device, const std::string& cause) {
  DeviceSlot& slot = slots_[device];
  if (cause != kUserCancelCause) PostLogLine(GetDeviceName(device) + "> " + cause);
  std::int32_t accepted = 0;
  PostLogLine(
      Format("%s> Cancelled %d queued item(s)", GetDeviceName(device), FlagEntriesCancelled(device, &accepted)));
  slot.itemsStarted = 0;
  slot.itemsQueued = 0;
  slot.state = SLOT_IDLE;
  slot.errorReason.clear();
  PostToTarget<WM_RESET_DEVICE_ROW>(PT_MAIN_WINDOW, static_cast<platform::WParam>(device));
  return accepted;
}

void CCoreProcessingThread::CancelDevicesInError(const std::string& cause) {
  for (DeviceNumber device = 0; device < DEVICE_SLOT_COUNT; ++device) {
    if (slots_[device].state == SLOT_ERROR) CancelDeviceInError(device, cause);
  }
}

bool CCoreProcessingThread::ShutdownQueued() const {
  return std::any_of(queue_.begin(), queue_.end(),
                     [](const auto& e) { return e->jobCode == WM_SHUTDOWN && e->cancel == 0; });
}

bool CCoreProcessingThread::WorkRemains() const {
  return std::any_of(queue_.begin(), queue_.end(), [](const auto& e) { return e->cancel == 0; });
}

void CCoreProcessingThread::ScheduleJobs() {
  DropCancelled();
  StartFileReads();
  StartDeviceIndependent();
  StartIdleDevices();
}

void CCoreProcessingThread::DropCancelled() {
  // An entry whose file is being loaded or whose read-back is being saved
  // is still in use by a worker; it leaves the queue when that worker is
  // done.
  auto dropped = [](const std::unique_ptr<JobQueueEntry>& e) {
    return e->cancel == 1 && e->state != ENTRY_LOADING && e->state != ENTRY_SAVING;
  };
  for (auto& entry : queue_) {
    if (!dropped(entry)) continue;
    LogNote(*entry, &FileJobPayload::cancelledNote);
    FreeJobPayload(entry->jobCode, entry->payload);
  }
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(), dropped), queue_.end());
}

void CCoreProcessingThread::StartFileReads() {
  for (DeviceNumber device = 0; device < DEVICE_SLOT_COUNT; ++device) {
    std::vector<JobQueueEntry*> entries = VisibleEntriesOf(device);
    if (entries.size() > 2) entries.resize(2);
    for (JobQueueEntry* entry : entries) {
      if (entry->state != ENTRY_LOAD_PENDING) continue;
      auto* payload = entry->payload.Get<FileJobPayload>();
      if (!payload) {
        entry->state = ENTRY_FAILED;
        entry->error = MakeErrorRecord(entry->device, EVENT_STATUS_FILE_OPEN_FAILED, 1, nullptr);
        continue;
      }
      auto request = std::make_unique<FileLoadRequest>();
      request->fileName = payload->imageFileName;
      request->sequenceNumber = entry->sequenceNumber;
      request->overrideChecksum = payload->options.GetIntParam(OPTION_OVERRIDE_CHECKSUM);
      request->options = &payload->options;
      PostLogLine(Format("Starting read of file %s", payload->imageFileName));
      const std::int32_t sequence = entry->sequenceNumber;
      for (std::size_t i = 0, end = VisibleEnd(); i < end; ++i) {
        if (queue_[i]->sequenceNumber == sequence && queue_[i]->state == ENTRY_LOAD_PENDING) {
          queue_[i]->state = ENTRY_LOADING;
        }
      }
      if (services_.startFileLoad) {
        services_.startFileLoad(std::move(request));
      } else {
        request->result = KERNEL_ERROR_UNKNOWN;
        PostToTarget<WM_FILE_LOADED>(PT_CORE, std::move(request));
      }
    }
  }
}

void CCoreProcessingThread::StartDeviceIndependent() {
  if (queue_.empty()) return;
  JobQueueEntry& head = *queue_.front();
  if (head.device != DEVICE_INDEPENDENT || head.state != ENTRY_READY) return;
  head.state = ENTRY_INDEPENDENT_RUNNING;
  if (dispatcher_->DispatchJob(head, DispatchContext{kernels_, interactive_}) != DispatchResult::Started) {
    head.cancel = 1;
    scheduleWanted_ = true;
    head.state = ENTRY_READY;
  }
}

void CCoreProcessingThread::StartEntry(JobQueueEntry& entry) {
  DeviceSlot& slot = slots_[entry.device];
  // Busy before the starter runs: a starter that fails at once posts its
  // error, which finds the slot busy like any running operation's.
  slot.state = SLOT_BUSY;
  ++slot.itemsStarted;
  if (dispatcher_->DispatchJob(entry, DispatchContext{kernels_, interactive_}) != DispatchResult::Started) {
    // No starter for the job code: the entry is dropped and the device stays
    // free for its next entry.
    entry.cancel = 1;
    --slot.itemsStarted;
    slot.state = SLOT_IDLE;
    scheduleWanted_ = true;
  }
}

void CCoreProcessingThread::StartIdleDevices() {
  for (DeviceNumber device = 0; device < DEVICE_SLOT_COUNT; ++device) {
    DeviceSlot& slot = slots_[device];
    if (slot.state == SLOT_IDLE) {
      if (JobQueueEntry* entry = FirstEntryOf(device, true)) {
        switch (entry->state) {
          case ENTRY_READY:
            if (entry->cancel == 0) StartEntry(*entry);
            break;
          case ENTRY_LOADING: {
            auto progress = std::make_unique<ProgressRecord>();
            progress->device = device;
            progress->eventCode = EVENT_STATUS_SCANNING_FILE;
            PostToTarget<WM_JOB_PROGRESS>(PT_CORE, std::move(progress));
            break;
          }
          case ENTRY_FAILED:
            ++slot.itemsStarted;
            slot.state = SLOT_BUSY;
            PostToTarget<WM_JOB_ERROR>(PT_CORE, CloneErrorRecord(entry->error.get()));
            break;
          default: break;
        }
      }
    }
    if (!HasEntryFor(device)) {
      slot.itemsStarted = 0;
      slot.itemsQueued = 0;
    }
  }
}

// ---- results of operations --------------------------------------------------

void CCoreProcessingThread::OnJobProgress(std::unique_ptr<ProgressRecord> record) {
  if (!record) return;
  const std::int64_t total = record->total == 0 ? 1 : record->total;
  const auto percent = static_cast<std::int32_t>(static_cast<std::int64_t>(record->done) * 100 / total);
  PostStatus(record->eventCode, record->device, percent);
}

void CCoreProcessingThread::OnJobFinished(std::unique_ptr<FinishRecord> record) {
  if (!record) return;
  const DeviceNumber device = record->device;
  JobQueueEntry* entry = RunningEntryOf(device);
  if (!entry) return;  // no operation of the device runs: a stray record
  if (DeviceSlot* slot = SlotOf(device)) {
    slot->state = SLOT_IDLE;
    if (record->eventCode == EVENT_FLASHPACK_EXTRACT_DONE) {
      auto status = std::make_unique<FlashpackStatusRecord>();
      status->share = dispatcher_->SharePackManagerOf(device);
      status->packManager = status->share ? status->share.get() : dispatcher_->PackManagerOf(device);
      status->device = device;
      PostToTarget<WM_FLASHPACK_STATUS>(PT_PREPROCESSING, std::move(status), interactive_ ? 0 : 1);
    }
    PostStatus(record->eventCode, device, 100);
  }
  PostLogLine(Format("%s> Item finished with sequence number %d", GetDeviceName(device), entry->sequenceNumber));
  LogNote(*entry, &FileJobPayload::finishedNote);
  RemoveEntry(entry);
  emptyQueueReport_ = EmptyQueueReport::Done;
  if (device == DEVICE_SMARTPHONE && VisibleEntriesOf(DEVICE_SMARTPHONE).empty()) {
    RalixRequestDisconnect();
  }
  ScheduleJobs();
}

void CCoreProcessingThread::OnJobError(std::unique_ptr<ErrorRecord> record) {
  if (!record) return;
  const DeviceNumber device = record->device;
  DeviceSlot* slot = SlotOf(device);
  JobQueueEntry* entry = RunningEntryOf(device);
  if (!slot || !entry) return;  // nothing of the device runs
  // A read-back whose file could not be written no longer uses its data:
  // Cancel drops it, Retry saves again.
  if (entry->state == ENTRY_SAVING) entry->state = ENTRY_SAVE_FAILED;
  slot->state = SLOT_ERROR;
  slot->errorReason = GetErrorReason(record.get());
  --slot->itemsStarted;
  PostStatus(record->eventCode, device, 0, record.get());
  PostLogLine(GetDeviceName(device) + "> ERROR: " + slot->errorReason);
  // Why, where the system said so: a user can mend a port's link from it.
  if (!record->systemReason.empty()) PostLogLine(GetDeviceName(device) + "> " + record->systemReason);
  if (device == DEVICE_SMARTPHONE) RalixRequestDisconnect();
  // Whichever device fails, the run status tells which and why; it holds
  // until STATUS RESET.
  PostRunStatus(STATUS_ERROR, GetDeviceName(device) + "> " + GetKernelErrorText(record.get()));
  if (ShutdownQueued()) CancelDeviceInError(device, kShutdownCancelCause);
}

void CCoreProcessingThread::OnCancelQueued(std::unique_ptr<FinishRecord> record) {
  if (!record) return;
  const DeviceNumber device = record->device;
  DeviceSlot* slot = SlotOf(device);
  if (!slot || !RunningEntryOf(device)) return;
  std::int32_t accepted = 0;
  const std::int32_t count = FlagEntriesCancelled(device, &accepted);
  PostLogLine(Format("%s> Cancelled %d queued item(s)", GetDeviceName(device), count));
  slot->itemsStarted = 0;
  slot->itemsQueued = 0;
  slot->state = SLOT_IDLE;
  PostStatus(record->eventCode, device, 0);
  // Work a client asked for did not happen.
  if (accepted > 0) PostRunStatus(STATUS_ERROR, kCancelledText);
}

void CCoreProcessingThread::OnCancelDevice(DeviceNumber device) {
  DeviceSlot* slot = SlotOf(device);
  if (!slot) return;
  PostLogLine(GetDeviceName(device) + "> " + kUserCancelCause);
  if (slot->state == SLOT_BUSY) {
    dispatcher_->AbortDevice(device);
  } else if (slot->state == SLOT_ERROR) {
    // Work a client asked for did not happen.
    if (CancelDeviceInError(device, kUserCancelCause) > 0) PostRunStatus(STATUS_ERROR, kCancelledText);
  }
}

void CCoreProcessingThread::OnResetRunStatus() {
  CancelDevicesInError(kResetCancelCause);
  // Work that ended before the reset is no longer reported.
  emptyQueueReport_ = EmptyQueueReport::Nothing;
  ScheduleJobs();
  const bool remains = WorkRemains();
  // Remaining work ends in DONE when some of it finishes; when all of it is
  // dropped instead, the reset's IDLE comes back.
  if (remains) emptyQueueReport_ = EmptyQueueReport::Idle;
  PostToTarget<WM_RUN_STATUS_RESET>(PT_USER_IO, remains ? 1 : 0);
}

void CCoreProcessingThread::OnRetryDevice(DeviceNumber device) {
  DeviceSlot* slot = SlotOf(device);
  if (!slot) return;
  PostLogLine(GetDeviceName(device) + "> User-initiated Retry");
  RefreshUsbPresence();
  JobQueueEntry* entry = FirstEntryOf(device, false);
  // Only a device in error is retried; a running operation is left alone.
  if (!entry || slot->state != SLOT_ERROR) return;
  if (entry->state == ENTRY_SAVE_FAILED) {
    ++slot->itemsStarted;
    slot->state = SLOT_BUSY;  // the save runs again; the entry is in use until it ends
    PostToTarget<WM_SAVE_READ_FILE>(PT_CORE, static_cast<platform::WParam>(device));
    return;
  }
  slot->state = SLOT_IDLE;
  if (entry->state == ENTRY_FAILED) {
    const std::int32_t sequence = entry->sequenceNumber;
    for (auto& e : queue_) {
      if (e->sequenceNumber == sequence && e->state == ENTRY_FAILED) {
        e->state = ENTRY_LOAD_PENDING;
        e->error.reset();
      }
    }
  }
  ScheduleJobs();
}

void CCoreProcessingThread::OnFileLoaded(std::unique_ptr<FileLoadRequest> request) {
  if (!request) return;
  const std::int32_t sequence = request->sequenceNumber;
  if (request->result == 0) {
    PostLogLine(Format("File %s successfully loaded into RAM", request->fileName));
  }
  for (auto& entry : queue_) {
    if (entry->sequenceNumber != sequence || entry->state != ENTRY_LOADING) continue;
    if (request->result == 0) {
      if (auto* payload = entry->payload.Get<FileJobPayload>()) {
        payload->loadedImage = request->image ? ShareRegionList(*request->image) : MakeRegionList();
      }
      if (request->flashpack == 1 && entry->jobCode == WM_FLASH) {
        entry->jobCode = WM_FLASHPACK_EXTRACT_ADD_FLASH;
      }
      entry->state = ENTRY_READY;
    } else {
      PostLogLine(Format("Error Opening File %s", request->fileName));
      entry->state = ENTRY_FAILED;
      entry->error = MakeErrorRecord(entry->device, EVENT_STATUS_FILE_OPEN_FAILED, request->result, nullptr);
      entry->error->details.cause = request->fileName;  // the row names the file it could not load
      entry->error->details.address = static_cast<std::uint32_t>(request->resultDetail);
    }
  }
  ScheduleJobs();
  // The request's own list goes with it: its buffers lose the loader's
  // reference, and the entries keep theirs.
}

void CCoreProcessingThread::OnSaveReadFile(DeviceNumber device) {
  JobQueueEntry* entry = RunningEntryOf(device);
  if (!entry || !JobSavesReadFile(entry->jobCode)) return;
  auto request = std::make_unique<FileSaveRequest>();
  request->device = device;
  bool binary = false;
  if (auto* readBack = entry->payload.Get<ReadBackPayload>()) {
    request->outputFileName = readBack->outputFileName;
    request->outputAddress = readBack->outputAddress;
    request->readBaseAddress = readBack->readBaseAddress;
    request->recordLength = readBack->recordLength;
    request->data = readBack->regions.get();
  } else if (auto* ramDump = entry->payload.Get<RamDumpPayload>()) {
    request->outputFileName = ramDump->outputFileName;
    request->data = ramDump->regions.get();
    binary = true;
  } else {
    return;
  }
  entry->state = ENTRY_SAVING;
  PostLogLine(GetDeviceName(device) + "> Starting file save " + request->outputFileName);
  const auto& start = binary ? services_.startBinarySave : services_.startSRecordSave;
  if (start) {
    start(std::move(request));
  } else {
    PostToTarget<WM_JOB_ERROR>(PT_CORE, MakeErrorRecord(device, EVENT_STATUS_READ_FILE_SAVE_FAILED, 1, nullptr));
  }
}

void CCoreProcessingThread::OnRalixProgress(std::uint32_t percent, std::intptr_t kind) {
  if (percent > 100) return;
  PostStatus(kind == kRalixFormatKind ? kStatusFormatting : kStatusFileFlashing, DEVICE_SMARTPHONE,
             static_cast<std::int32_t>(percent));
}

// ---- helpers -----------------------------------------------------------------

CCoreProcessingThread::DeviceSlot* CCoreProcessingThread::SlotOf(DeviceNumber device) {
  return IsSlotDevice(device) ? &slots_[device] : nullptr;
}

void CCoreProcessingThread::PostStatus(std::int32_t code, DeviceNumber device, std::int32_t percent,
                                       const ErrorRecord* error) {
  const DeviceSlot* slot = SlotOf(device);
  auto record = MakeDeviceStatusRecord(code, device, slot ? slot->itemsStarted : 0, slot ? slot->itemsQueued : 0,
                                       percent, error);
  // The device's first entry is the one the status is about (running, in
  // error or just finished): the window must know whether it is the
  // read-back whose file starts the update flash.
  record->startsUpdateFlash = StartsUpdateFlash(FirstEntryOf(device, false));
  PostToTarget<WM_DEVICE_STATUS>(PT_MAIN_WINDOW, std::move(record));
}

void CCoreProcessingThread::LogNote(const JobQueueEntry& entry, std::string FileJobPayload::*note) {
  const auto* payload = entry.payload.Get<FileJobPayload>();
  if (payload && !(payload->*note).empty()) PostLogLine(GetDeviceName(entry.device) + "> " + payload->*note);
}

void CCoreProcessingThread::PostRunStatus(std::int32_t state, const std::string& text) {
  auto report = std::make_unique<StatusReport>();
  report->state = state;
  report->text = text;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
}

void CCoreProcessingThread::ReportQueueEmpty() {
  if (emptyQueueReport_ == EmptyQueueReport::Nothing) return;
  auto report = std::make_unique<StatusReport>();
  const bool done = emptyQueueReport_ == EmptyQueueReport::Done;
  report->state = done ? STATUS_DONE : STATUS_IDLE;
  report->text = done ? kProcessingCompleteText : kStatusResetText;
  report->acceptedJobsReceived = acceptedJobsReceived_;
  PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::move(report));
  emptyQueueReport_ = EmptyQueueReport::Nothing;
}
