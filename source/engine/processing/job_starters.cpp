#include "engine/processing/job_starters.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/device_event.h"
#include "engine/core/buffer_registry.h"
#include "engine/core/file_transfer_request.h"
#include "engine/core/finish_record.h"
#include "engine/core/job_kind_table.h"
#include "engine/core/job_payload.h"
#include "engine/core/job_payloads.h"
#include "engine/core/kernel_error_code.h"
#include "engine/core/log_line.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/images/allocation_lookup.h"
#include "engine/processing/job_failure.h"
#include "engine/processing/sector_selection.h"
#include "engine/processing/smartphone_slot.h"
#include "engine/quillon_exception.h"
#include <algorithm>
#include "platform/file_io.h"

namespace {

constexpr std::int32_t kFlashpackAddedEvent = EVENT_STATUS_FLASHPACK_ADDED;
constexpr std::int32_t kFlashpackAddFailedEvent = EVENT_STATUS_FLASHPACK_ADD_FAILED;
constexpr std::int32_t kFlashpacksRemovedEvent = EVENT_STATUS_FLASHPACKS_REMOVED;
constexpr std::int32_t kFlashpackRemoveFailedEvent = EVENT_STATUS_FLASHPACK_REMOVE_FAILED;
constexpr std::int32_t kFlashFailedEvent = EVENT_FLASH_FAILED;
constexpr std::int32_t kSmartFlashFailedEvent = EVENT_SMART_FLASH_FAILED;
constexpr std::int32_t kFileDeletedEvent = EVENT_STATUS_FILE_DELETED;
constexpr std::int32_t kRemoteTransferDone = EVENT_STATUS_REMOTE_TRANSFER_DONE;
constexpr std::int32_t kPhoneSendFailedEvent = EVENT_PHONE_SEND_FAILED;
constexpr std::int32_t kPhoneCancelledEvent = EVENT_PHONE_CANCELLED;
constexpr std::intptr_t kRalixFormatKind = 1;
constexpr std::uint32_t kCustomReplySize = 3072;
constexpr const char kFlashpackAllocation[] = "FLASHPACK";
constexpr const char kThemepackAllocation[] = "THEMEPACK";
constexpr const char kCodeplugAllocation[] = "CODEPLUG";


std::string DevicePrefix(DeviceNumber device) { return GetDeviceName(device) + "> "; }

void PostFinished(DeviceNumber device, std::int32_t eventCode) {
  auto record = std::make_unique<FinishRecord>();
  record->device = device;
  record->eventCode = eventCode;
  PostToTarget<WM_JOB_FINISHED>(PT_CORE, std::move(record));
}

bool IsOn(const CJobOptions& options, int id) { return options.GetIntParam(id) == 1; }

bool SmartFlashing(const CJobOptions& options) { return IsOn(options, OPTION_ENABLE_SMART_FLASHING); }

// A start that the device object refuses (busy, a bad mode) reports no
// event; every other result is reported by the operation's own closing
// event.
bool Refused(int result) { return result == KERNEL_ERROR_BUSY || result == KERNEL_ERROR_INVALID_OPERATING_MODE; }

// Ends a job whose device object refused to start the operation.
void FailIfRefused(int result, DeviceNumber device, std::int32_t failedEvent) {
  if (Refused(result)) PostStarterFailure(device, failedEvent, result);
}

// Starts an operation that takes a list over: the operation's closing
// event releases it. A refused start leaves the list with the starter,
// which lets it go, and ends the job.
template <class StartOperation>
void StartWithList(RegionListPtr list, DeviceNumber device, std::int32_t failedEvent, StartOperation start) {
  const int result = start(list.get());
  if (Refused(result)) {
    PostStarterFailure(device, failedEvent, result);
    return;
  }
  static_cast<void>(list.release());
}

// The erase list of a flash: the user's selection, or whole partitions
// touched by the image when auto erase or smart flashing is on.
void BuildFlashEraseList(CRegionList& eraseList, CJobOptions& options, const CRegionList& image) {
  if (!IsOn(options, OPTION_AUTO_ERASE_FLASH) && !SmartFlashing(options)) {
    BuildSelectedSectorList(options.GetSectorList(), eraseList);
  } else {
    SelectSectorsFromImage(eraseList, options, image);
  }
}

bool HasImage(const FileJobPayload* payload) {
  return payload && payload->loadedImage && !payload->loadedImage->Empty();
}

}  // namespace

CJobStarters::CJobStarters() = default;

CJobStarters::~CJobStarters() = default;

CJobStarters::Starter CJobStarters::StarterOf(std::uint32_t jobCode) {
  struct StarterRow {
    std::uint32_t jobCode;
    Starter start;
  };
  static constexpr auto kStarters = std::to_array<StarterRow>({
      {WM_FLASH, &CJobStarters::StartFlash},
      {WM_ERASE, &CJobStarters::StartErase},
      {WM_REVERSE_FLASH, &CJobStarters::StartReverseFlash},
      {WM_RAM_DUMP, &CJobStarters::StartRamDump},
      {WM_COMM_CHECK, &CJobStarters::StartCommCheck},
      {WM_RESET_TARGET, &CJobStarters::StartResetTarget},
      {WM_PROGRAM_MAGIC_KEY, &CJobStarters::StartProgramMagicKey},
      {WM_CUSTOM_COMMAND, &CJobStarters::StartCustomCommand},
      {WM_ORVIX_FLASH, &CJobStarters::StartOrvix},
      {WM_ORVIX_ERASE, &CJobStarters::StartOrvix},
      {WM_ORVIX_REVERSE_FLASH, &CJobStarters::StartOrvix},
      {WM_FLASHPACK_EXTRACT, &CJobStarters::StartFlashpackExtract},
      {WM_FLASHPACK_ADD, &CJobStarters::StartFlashpackAdd},
      {WM_FLASHPACK_REMOVE, &CJobStarters::StartFlashpackRemove},
      {WM_FLASHPACK_UPDATE_FLASH, &CJobStarters::StartFlashpackUpdateFlash},
      {WM_FLASHPACK_EXTRACT_ADD_FLASH, &CJobStarters::StartFlashpackExtractAddFlash},
      {WM_RALIX_FORMAT, &CJobStarters::StartRalixFormat},
      {WM_RALIX_FLASH_FILE, &CJobStarters::StartRalixFlashFile},
      {WM_SHUTDOWN, &CJobStarters::StartShutdown},
      {WM_REMOTE_FILE_TRANSFER, &CJobStarters::StartRemoteTransfer},
      {WM_DELETE_FILE, &CJobStarters::StartDeleteFile},
  });
  static_assert(CoversEveryJobKindOnce(kStarters), "every job kind has exactly one starter");
  for (const auto& row : kStarters) {
    if (row.jobCode == jobCode) return row.start;
  }
  return nullptr;
}

DispatchResult CJobStarters::DispatchJob(JobQueueEntry& entry, const DispatchContext& context) {
  const Starter start = StarterOf(entry.jobCode);
  if (!start) return DispatchResult::UnknownCode;
  // The device's earlier job has ended: what it kept may go.
  if (entry.device >= 0 && entry.device < DEVICE_SLOT_COUNT) heldImages_[static_cast<std::size_t>(entry.device)].reset();
  if (!PayloadFitsJob(entry.jobCode, entry.payload) && PayloadKindOfJob(entry.jobCode) != JobPayloadKind::None) {
    // A payload of the wrong kind cannot be started; the job fails at once.
    PostStarterFailure(entry.device, FailedEventOfJob(entry.jobCode), KERNEL_ERROR_UNKNOWN);
    return DispatchResult::Started;
  }
  (this->*start)(entry, context);
  return DispatchResult::Started;
}

void CJobStarters::AbortDevice(DeviceNumber device) {
  if (device == DEVICE_SMARTPHONE) {
    // A phone command has no worker to stop: the job ends as cancelled, and
    // the link to the phone is cut so that the command's prompt cannot end
    // a later job.
    auto record = std::make_unique<FinishRecord>();
    record->device = DEVICE_SMARTPHONE;
    record->eventCode = kPhoneCancelledEvent;
    PostToTarget<WM_CANCEL_QUEUED>(PT_CORE, std::move(record));
    RalixRequestDisconnect();
    return;
  }
  if (CKernel* kernel = objects_.KernelOf(device)) kernel->Abort();
  if (CFlashpack* flashpack = objects_.FlashpackOf(device)) flashpack->Abort();
}

CPackManager* CJobStarters::PackManagerOf(DeviceNumber device) {
  CFlashpack* flashpack = objects_.FlashpackOf(device);
  return flashpack ? flashpack->GetPackManager() : nullptr;
}

std::shared_ptr<CPackManager> CJobStarters::SharePackManagerOf(DeviceNumber device) {
  CFlashpack* flashpack = objects_.FlashpackOf(device);
  return flashpack ? flashpack->SharePackManager() : nullptr;
}

// ---- radio operations ---------------------------------------------------------

void CJobStarters::StartFlash(JobQueueEntry& entry, const DispatchContext& context) {
  auto* payload = entry.payload.Get<FileJobPayload>();
  const bool smart = SmartFlashing(payload->options);
  const std::int32_t failedEvent = smart ? kSmartFlashFailedEvent : kFlashFailedEvent;
  if (!HasImage(payload)) {
    PostStarterFailure(entry.device, failedEvent, NO_FLASHPACK_FILE);
    return;
  }
  RegionListPtr eraseList = MakeRegionList();
  CKernel* kernel = objects_.PrepareKernel(payload->options, entry.device, context.kernels);
  BuildFlashEraseList(*eraseList, payload->options, *payload->loadedImage);
  const int magicKey = IsOn(payload->options, OPTION_AUTO_PROGRAM_MAGIC_KEY) ? MagicKeyWanted(payload->options) : 0;
  kernel->SetAutoMagicKey(magicKey);
  PostLogLine(DevicePrefix(entry.device) + (smart ? "Starting Smart Flash" : "Starting Flash"));
  CRegionList* image = payload->loadedImage.get();
  StartWithList(std::move(eraseList), entry.device, failedEvent, [&](CRegionList* erase) {
    return smart ? kernel->StartSmartFlash(erase, image, kRunOnThread) : kernel->StartFlash(erase, image, kRunOnThread);
  });
}

void CJobStarters::StartErase(JobQueueEntry& entry, const DispatchContext& context) {
  auto* options = entry.payload.Get<CJobOptions>();
  RegionListPtr eraseList = MakeRegionList();
  CKernel* kernel = objects_.PrepareKernel(*options, entry.device, context.kernels);
  BuildSelectedSectorList(options->GetSectorList(), *eraseList);
  // The object is kept from job to job: an earlier flash's magic-key flag
  // must not make an erase program the key.
  kernel->SetAutoMagicKey(0);
  PostLogLine(DevicePrefix(entry.device) + "Starting Erase");
  StartWithList(std::move(eraseList), entry.device, kFlashFailedEvent,
                [&](CRegionList* erase) { return kernel->StartFlash(erase, nullptr, kRunOnThread); });
}

void CJobStarters::StartReverseFlash(JobQueueEntry& entry, const DispatchContext& context) {
  auto* payload = entry.payload.Get<ReadBackPayload>();
  const std::int32_t failedEvent = FailedEventOfJob(entry.jobCode);
  CKernel* kernel = objects_.PrepareKernel(payload->options, entry.device, context.kernels);
  if (!payload->regions) payload->regions = MakeRegionList();
  if (!SmartFlashing(payload->options)) {
    PostLogLine(DevicePrefix(entry.device) + "Starting Reverse Flash");
    FailIfRefused(kernel->StartReverseFlash(payload->regions.get(), kRunOnThread), entry.device, failedEvent);
    return;
  }
  SectorRange range;
  if (FindSectorRangeByName(kCodeplugAllocation, payload->options, range)) {
    kernel->SetFdiRegion(range.first, range.sectorSize, range.count);
    SplitReadRegionsAtRange(*payload->regions, range);
  } else {
    // No data area in this product: an earlier job's range must not apply.
    kernel->SetFdiRegion(0, 0, 0);
  }
  PostLogLine(DevicePrefix(entry.device) + "Starting FDI-Enhanced Reverse Flash");
  FailIfRefused(kernel->StartFdiReverseFlash(payload->regions.get(), kRunOnThread), entry.device, failedEvent);
}

void CJobStarters::StartRamDump(JobQueueEntry& entry, const DispatchContext& context) {
  auto* payload = entry.payload.Get<RamDumpPayload>();
  CKernel* kernel = objects_.PrepareKernel(payload->options, entry.device, context.kernels);
  if (!payload->regions) payload->regions = MakeRegionList();
  PostLogLine(DevicePrefix(entry.device) + "Starting RAM Dump");
  FailIfRefused(kernel->StartRamDump(payload->regions.get(), kRunOnThread), entry.device,
                FailedEventOfJob(entry.jobCode));
}

void CJobStarters::StartCommCheck(JobQueueEntry& entry, const DispatchContext& context) {
  auto* options = entry.payload.Get<CJobOptions>();
  CKernel* kernel = objects_.PrepareKernel(*options, entry.device, context.kernels);
  PostLogLine(DevicePrefix(entry.device) + "Starting Comm Check");
  FailIfRefused(kernel->StartCommCheck(kRunOnThread), entry.device, FailedEventOfJob(entry.jobCode));
}

void CJobStarters::StartResetTarget(JobQueueEntry& entry, const DispatchContext& context) {
  auto* options = entry.payload.Get<CJobOptions>();
  PostLogLine(DevicePrefix(entry.device) + "Starting Reset Target");
  CKernel* kernel = objects_.PrepareKernel(*options, entry.device, context.kernels);
  FailIfRefused(kernel->StartResetTarget(kRunOnThread), entry.device, FailedEventOfJob(entry.jobCode));
}

void CJobStarters::StartProgramMagicKey(JobQueueEntry& entry, const DispatchContext& context) {
  auto* options = entry.payload.Get<CJobOptions>();
  CKernel* kernel = objects_.PrepareKernel(*options, entry.device, context.kernels);
  PostLogLine(DevicePrefix(entry.device) + "Starting Program Magic Key");
  FailIfRefused(kernel->StartProgramMagicKey(kRunOnThread), entry.device, FailedEventOfJob(entry.jobCode));
}

void CJobStarters::StartCustomCommand(JobQueueEntry& entry, const DispatchContext& context) {
  auto* payload = entry.payload.Get<CustomCommandPayload>();
  CKernel* kernel = objects_.PrepareKernel(payload->options, entry.device, context.kernels);
  // A retried command starts from a fresh list, so its regions are never
  // appended twice.
  payload->regions = MakeRegionList();
  const std::uint32_t response = payload->flags & CustomCommandPayload::kNoResponse;
  const std::uint32_t length =
      std::min<std::uint32_t>(payload->commandLength, CustomCommandPayload::kMaxCommandBytes);
  std::uint8_t* command = GetBufferRegistry().Allocate(length == 0 ? 1 : length);
  std::memcpy(command, payload->command.data(), length);
  payload->regions->Add(response, length, command);
  payload->regions->Add(response, kCustomReplySize, GetBufferRegistry().Allocate(kCustomReplySize));
  PostLogLine(DevicePrefix(entry.device) + "Starting Custom Command: '" + payload->label + "'");
  FailIfRefused(kernel->StartCustomCommand(payload->regions.get(), kRunOnThread, payload->label), entry.device,
                FailedEventOfJob(entry.jobCode));
}

void CJobStarters::StartOrvix(JobQueueEntry& entry, const DispatchContext& context) {
  const std::int32_t failedEvent = FailedEventOfJob(entry.jobCode);
  CJobOptions* options = entry.payload.Get<CJobOptions>();
  if (auto* file = entry.payload.Get<FileJobPayload>()) options = &file->options;
  if (auto* read = entry.payload.Get<ReadBackPayload>()) options = &read->options;
  COrvix* orvix = options ? objects_.PrepareOrvix(*options, entry.device, context.kernels) : nullptr;
  if (!orvix) {
    PostStarterFailure(entry.device, failedEvent, options ? KERNEL_ERROR_BUSY : KERNEL_ERROR_UNKNOWN);
    return;
  }
  switch (entry.jobCode) {
    case WM_ORVIX_FLASH: {
      PostLogLine(DevicePrefix(entry.device) + "Starting Orvix Flash");
      FailIfRefused(orvix->StartProgram(entry.payload.Get<FileJobPayload>()->imageFileName, kRunOnThread), entry.device,
                    failedEvent);
      return;
    }
    case WM_ORVIX_ERASE:
      PostLogLine(DevicePrefix(entry.device) + "Starting Orvix Erase");
      FailIfRefused(orvix->StartErase(kRunOnThread), entry.device, failedEvent);
      return;
    default: {
      PostLogLine(DevicePrefix(entry.device) + "Starting Orvix Reverse Flash");
      auto* read = entry.payload.Get<ReadBackPayload>();
      if (!read->regions) read->regions = MakeRegionList();
      FailIfRefused(orvix->StartRead(read->regions.get(), kRunOnThread), entry.device, failedEvent);
      return;
    }
  }
}

// ---- flashpacks ---------------------------------------------------------------

void CJobStarters::StartFlashpackExtract(JobQueueEntry& entry, const DispatchContext& context) {
  auto* options = entry.payload.Get<CJobOptions>();
  CFlashpack* flashpack = objects_.PrepareFlashpack(*options, entry.device, context.kernels);
  const std::uint32_t size = AllocationSize(kFlashpackAllocation, *options);
  if (size < 1) {
    PostStarterFailure(entry.device, FailedEventOfJob(entry.jobCode), NO_FLASHPACK_ALLOCATION);
    return;
  }
  std::uint32_t address = 0;
  try {
    address = AllocationAddress(kFlashpackAllocation, *options);
  } catch (QUILLON_EXCEPTION) {
    PostStarterFailure(entry.device, FailedEventOfJob(entry.jobCode), NO_FLASHPACK_ALLOCATION);
    return;
  }
  RegionListPtr readList = MakeRegionList();
  readList->Add(address, size, GetBufferRegistry().Allocate(size));
  PostLogLine(DevicePrefix(entry.device) + "Starting Flashpack Extract");
  StartWithList(std::move(readList), entry.device, FailedEventOfJob(entry.jobCode),
                [&](CRegionList* list) { return flashpack->Extract(list, kRunOnThread); });
}

void CJobStarters::StartFlashpackAdd(JobQueueEntry& entry, const DispatchContext&) {
  auto* payload = entry.payload.Get<FileJobPayload>();
  CFlashpack* flashpack = objects_.FlashpackOf(entry.device);
  if (!flashpack || !flashpack->GetPackManager()) {
    PostStarterFailure(entry.device, kFlashpackAddFailedEvent, FLASHPACKS_NOT_EXTRACTED);
    return;
  }
  if (!HasImage(payload)) {
    PostStarterFailure(entry.device, kFlashpackAddFailedEvent, NO_FLASHPACK_FILE);
    return;
  }
  const std::uint32_t first = (*payload->loadedImage)[0].address;
  if (AllocationNameAt(first, payload->options) == kThemepackAllocation) {
    PostStarterFailure(entry.device, kFlashpackAddFailedEvent, THEME_PACK_REFUSED);
    return;
  }
  PostLogLine(DevicePrefix(entry.device) + "Adding Flashpack");
  const int result = flashpack->AddPacks(payload->loadedImage.get());
  if (result == KERNEL_OK) {
    PostFinished(entry.device, kFlashpackAddedEvent);
  } else {
    PostStarterFailure(entry.device, kFlashpackAddFailedEvent, result);
  }
}

void CJobStarters::StartFlashpackRemove(JobQueueEntry& entry, const DispatchContext&) {
  auto* payload = entry.payload.Get<FlashpackRemovePayload>();
  CFlashpack* flashpack = objects_.FlashpackOf(entry.device);
  if (!flashpack || !flashpack->GetPackManager()) {
    PostStarterFailure(entry.device, kFlashpackRemoveFailedEvent, FLASHPACKS_NOT_EXTRACTED);
    return;
  }
  PostLogLine(DevicePrefix(entry.device) + "Removing Flashpacks");
  const int result = flashpack->RemovePacks(payload->packIndices);
  if (result == KERNEL_OK) {
    PostFinished(entry.device, kFlashpacksRemovedEvent);
  } else {
    PostStarterFailure(entry.device, kFlashpackRemoveFailedEvent, result);
  }
}

void CJobStarters::StartFlashpackUpdateFlash(JobQueueEntry& entry, const DispatchContext& context) {
  auto* options = entry.payload.Get<CJobOptions>();
  CFlashpack* existing = objects_.FlashpackOf(entry.device);
  if (!existing || !existing->GetPackManager()) {
    PostStarterFailure(entry.device, kFlashFailedEvent, FLASHPACKS_NOT_EXTRACTED);
    return;
  }
  CFlashpack* flashpack = objects_.PrepareFlashpack(*options, entry.device, context.kernels);
  std::vector<std::uint8_t> packImage;
  const int result = flashpack->GetPackImage(packImage);
  if (result != KERNEL_OK) {
    PostStarterFailure(entry.device, kFlashFailedEvent, result);
    return;
  }
  std::uint32_t address = 0;
  try {
    address = AllocationAddress(kFlashpackAllocation, *options);
  } catch (QUILLON_EXCEPTION) {
    PostStarterFailure(entry.device, kFlashFailedEvent, NO_FLASHPACK_ALLOCATION);
    return;
  }
  RegionListPtr image = MakeRegionList();
  const auto size = static_cast<std::uint32_t>(packImage.size());
  std::uint8_t* buffer = GetBufferRegistry().Allocate(size == 0 ? 1 : size);
  std::memcpy(buffer, packImage.data(), packImage.size());
  image->Add(address, size, buffer);
  RegionListPtr eraseList = MakeRegionList();
  BuildFlashEraseList(*eraseList, *options, *image);
  const bool smart = SmartFlashing(*options);
  const std::int32_t failedEvent = smart ? kSmartFlashFailedEvent : kFlashFailedEvent;
  PostLogLine(DevicePrefix(entry.device) + (smart ? "Starting Flashpack Smart Flash" : "Starting Flashpack Flash"));
  // The image is the device's until its next job starts: the flash's
  // events release only the erase list.
  CRegionList* program = image.get();
  heldImages_[static_cast<std::size_t>(entry.device)] = std::move(image);
  StartWithList(std::move(eraseList), entry.device, failedEvent, [&](CRegionList* erase) {
    return smart ? flashpack->StartSmartFlash(erase, program, kRunOnThread)
                 : flashpack->StartFlash(erase, program, kRunOnThread);
  });
}

void CJobStarters::StartFlashpackExtractAddFlash(JobQueueEntry& entry, const DispatchContext& context) {
  auto* payload = entry.payload.Get<FileJobPayload>();
  if (!HasImage(payload)) {
    PostStarterFailure(entry.device, kFlashFailedEvent, NO_FLASHPACK_FILE);
    return;
  }
  CFlashpack* flashpack = objects_.PrepareFlashpack(payload->options, entry.device, context.kernels);
  const SectorList sectors = payload->options.GetSectorList();
  const std::string name = AllocationNameAt((*payload->loadedImage)[0].address, sectors);
  RegionListPtr partition = MakeRegionList();
  for (const SectorEntry& sector : sectors.sectors) {
    if (!name.empty() && sector.name == name) partition->Add(sector.address, sector.size);
  }
  if (partition->Empty()) {
    PostStarterFailure(entry.device, kFlashFailedEvent, NO_FLASHPACK_ALLOCATION);
    return;
  }
  PostLogLine(DevicePrefix(entry.device) + "Starting Flashpack Extract/Add/Flash");
  CRegionList* image = payload->loadedImage.get();
  StartWithList(std::move(partition), entry.device, kFlashFailedEvent,
                [&](CRegionList* list) { return flashpack->ExtractAddFlash(list, image, kRunOnThread); });
}

// ---- smartphone -----------------------------------------------------------------

void CJobStarters::StartRalixFormat(JobQueueEntry& entry, const DispatchContext& context) {
  auto* options = entry.payload.Get<CJobOptions>();
  CKernel* kernel = objects_.PrepareKernel(*options, entry.device, context.kernels);
  PostLogLine(DevicePrefix(entry.device) + "Starting Ralix Command - format file system");
  RalixConnect();
  PostToTarget<WM_RALIX_PROGRESS>(PT_CORE, 0, kRalixFormatKind);
  ResetRalixOutputState();
  // The format reports no event of its own, so it runs here (it only hands
  // one line to the library) and a refused line ends the job at once
  // instead of leaving it waiting for a prompt that never comes.
  const int result = kernel->StartSmartphoneFormat(kRunInline);
  if (result != KERNEL_OK) PostStarterFailure(entry.device, kPhoneSendFailedEvent, result);
}

void CJobStarters::StartRalixFlashFile(JobQueueEntry& entry, const DispatchContext& context) {
  auto* payload = entry.payload.Get<FileJobPayload>();
  CKernel* kernel = objects_.PrepareKernel(payload->options, entry.device, context.kernels);
  PostLogLine(DevicePrefix(entry.device) + "Starting Ralix Command - Flash File: " + payload->imageFileName);
  RalixConnect();
  ResetRalixOutputState();
  // Handed over here as well: the phone's prompt may end the command (and
  // start the next one) before a worker thread would have returned from
  // the library, and would then find the object still busy.
  FailIfRefused(kernel->StartSmartphoneFile(payload->imageFileName, kRunInline), entry.device,
                kPhoneSendFailedEvent);
}

// ---- device-independent work ----------------------------------------------------------

void CJobStarters::StartShutdown(JobQueueEntry&, const DispatchContext&) {
  PostLogLine("Shutting Down Quillon");
  PostToTarget<WM_QUIT_THREAD>(PT_MAIN_WINDOW);
}

void CJobStarters::StartRemoteTransfer(JobQueueEntry& entry, const DispatchContext&) {
  auto* transfer = entry.payload.Get<FileTransferRequest>();
  if (!transfer) {
    PostFinished(entry.device, kRemoteTransferDone);
    return;
  }
  PostLogLine("Starting remote transfer of file " + transfer->fileName);
  // The transfer stays the entry's until the remote-I/O thread reports the
  // job finished; that thread works on a copy of its own. Without that
  // thread nothing would report the end, so the job ends here and the queue
  // goes on.
  if (!PostToTarget<WM_REMOTE_FILE_TRANSFER>(PT_REMOTE_IO, std::make_unique<FileTransferRequest>(*transfer))) {
    PostLogLine("Error> file transfer: file transfer failure");
    PostFinished(entry.device, kRemoteTransferDone);
  }
}

void CJobStarters::StartDeleteFile(JobQueueEntry& entry, const DispatchContext&) {
  if (auto* name = entry.payload.Get<std::string>()) {
    PostLogLine("Deleting " + *name);
    platform::RemoveFile(*name);
  }
  PostFinished(entry.device, kFileDeletedEvent);
}

std::unique_ptr<CJobDispatcher> MakeJobDispatcher() { return std::make_unique<CJobStarters>(); }
