#include "engine/processing/job_starters.h"

#include <cstdio>
#include <memory>
#include <string>

#include "engine/core/file_transfer_request.h"
#include "engine/core/finish_record.h"
#include "engine/core/job_payload.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/processing/job_failure.h"
#include "engine/processing/smartphone_slot.h"
#include "platform/file_io.h"
#include "ralix/ralix.h"

namespace {

constexpr std::int32_t kFileDeletedEvent = 61;
constexpr std::int32_t kRemoteTransferDone = 62;
constexpr std::int32_t kPhoneSendFailedEvent = 1;
constexpr std::int32_t kRalixErrorCode = 2;
constexpr std::int32_t kUnknownErrorCode = 1;
constexpr std::intptr_t kRalixFormatKind = 1;
constexpr const char kFormatLine[] = "format 1\r";

void Log(const std::string& line) { PostToTarget(PT_USER_IO, WM_LOG_LINE, std::make_unique<std::string>(line)); }

std::string DevicePrefix(DeviceNumber device) { return GetDeviceName(device) + "> "; }

void PostFinished(DeviceNumber device, std::int32_t eventCode) {
  auto record = std::make_unique<FinishRecord>();
  record->device = device;
  record->eventCode = eventCode;
  PostToTarget(PT_CORE, WM_JOB_FINISHED, std::move(record));
}

// Hands one command line to the smartphone library. Accepted, the command's
// end comes from the output callback; refused, the job fails with the Ralix
// error.
void SendRalixLine(const std::string& line) {
  ResetRalixOutputState();
  if (Func789(line.data(), static_cast<unsigned long>(line.size())) != 1) {
    PostStarterFailure(DEVICE_SMARTPHONE, kPhoneSendFailedEvent, kRalixErrorCode);
  }
}

}  // namespace

CJobStarters::CJobStarters() {
  starters_ = {
      {WM_SHUTDOWN, &CJobStarters::StartShutdown},
      {WM_REMOTE_FILE_TRANSFER, &CJobStarters::StartRemoteTransfer},
      {WM_DELETE_FILE, &CJobStarters::StartDeleteFile},
      {WM_RALIX_FORMAT, &CJobStarters::StartRalixFormat},
      {WM_RALIX_FLASH_FILE, &CJobStarters::StartRalixFlashFile},
      {WM_FLASH, &CJobStarters::StartUnavailable},
      {WM_ERASE, &CJobStarters::StartUnavailable},
      {WM_REVERSE_FLASH, &CJobStarters::StartUnavailable},
      {WM_RAM_DUMP, &CJobStarters::StartUnavailable},
      {WM_COMM_CHECK, &CJobStarters::StartUnavailable},
      {WM_RESET_TARGET, &CJobStarters::StartUnavailable},
      {WM_PROGRAM_MAGIC_KEY, &CJobStarters::StartUnavailable},
      {WM_CUSTOM_COMMAND, &CJobStarters::StartUnavailable},
      {WM_ORVIX_FLASH, &CJobStarters::StartUnavailable},
      {WM_ORVIX_ERASE, &CJobStarters::StartUnavailable},
      {WM_ORVIX_REVERSE_FLASH, &CJobStarters::StartUnavailable},
      {WM_FLASHPACK_EXTRACT, &CJobStarters::StartUnavailable},
      {WM_FLASHPACK_ADD, &CJobStarters::StartUnavailable},
      {WM_FLASHPACK_REMOVE, &CJobStarters::StartUnavailable},
      {WM_FLASHPACK_UPDATE_FLASH, &CJobStarters::StartUnavailable},
      {WM_FLASHPACK_EXTRACT_ADD_FLASH, &CJobStarters::StartUnavailable},
  };
}

CJobStarters::~CJobStarters() = default;

DispatchResult CJobStarters::DispatchJob(JobQueueEntry& entry, const DispatchContext& context) {
  auto it = starters_.find(entry.jobCode);
  if (it == starters_.end()) return DispatchResult::UnknownCode;
  (this->*(it->second))(entry, context);
  return DispatchResult::Started;
}

void CJobStarters::AbortDevice(DeviceNumber device) { (void)device; }

CPackManager* CJobStarters::PackManagerOf(DeviceNumber device) {
  (void)device;
  return nullptr;
}

void CJobStarters::StartShutdown(JobQueueEntry&, const DispatchContext&) {
  Log("Shutting Down Quillon");
  PostToTarget(PT_MAIN_WINDOW, WM_QUIT_THREAD);
}

void CJobStarters::StartRemoteTransfer(JobQueueEntry& entry, const DispatchContext&) {
  auto* transfer = entry.payload.Get<FileTransferRequest>();
  if (!transfer) {
    PostFinished(entry.device, kRemoteTransferDone);
    return;
  }
  Log("Starting remote transfer of file " + transfer->fileName);
  // The transfer stays the entry's; the remote-I/O thread borrows it until
  // it reports the job finished.
  PostToTarget(PT_REMOTE_IO, WM_REMOTE_FILE_TRANSFER, reinterpret_cast<platform::WParam>(transfer));
}

void CJobStarters::StartDeleteFile(JobQueueEntry& entry, const DispatchContext&) {
  if (auto* name = entry.payload.Get<std::string>()) {
    Log("Deleting " + *name);
    platform::RemoveFile(*name);
  }
  PostFinished(entry.device, kFileDeletedEvent);
}

void CJobStarters::StartRalixFormat(JobQueueEntry& entry, const DispatchContext&) {
  Log(DevicePrefix(entry.device) + "Starting Ralix Command - format file system");
  RalixConnect();
  PostToTarget(PT_CORE, WM_RALIX_PROGRESS, 0, kRalixFormatKind);
  SendRalixLine(kFormatLine);
}

void CJobStarters::StartRalixFlashFile(JobQueueEntry& entry, const DispatchContext&) {
  auto* payload = entry.payload.Get<FileJobPayload>();
  if (!payload) {
    PostStarterFailure(entry.device, kPhoneSendFailedEvent, kRalixErrorCode);
    return;
  }
  Log(DevicePrefix(entry.device) + "Starting Ralix Command - Flash File: " + payload->imageFileName);
  RalixConnect();
  SendRalixLine("l \"" + payload->imageFileName + "\"\r");
}

void CJobStarters::StartUnavailable(JobQueueEntry& entry, const DispatchContext&) {
  Log(DevicePrefix(entry.device) + "The operation " + GetMessageName(entry.jobCode) +
      " is not available in this build");
  PostStarterFailure(entry.device, FailedEventOfJob(entry.jobCode), kUnknownErrorCode);
}

std::unique_ptr<CJobDispatcher> MakeJobDispatcher() { return std::make_unique<CJobStarters>(); }
