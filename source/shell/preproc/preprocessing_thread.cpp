#include "shell/preproc/preprocessing_thread.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/core/app_settings.h"
#include "engine/core/flashpack_status_record.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "engine/processing/smartphone_slot.h"
#include "engine/quillon_exception.h"
#include "shell/preproc/flashpack_manager_prompt.h"
#include "shell/preproc/shell_prompt_dialogs.h"
#include "shell/preproc/update_read_back.h"
#include "shell/requests/auto_erase.h"
#include "shell/requests/flash_requests.h"
#include "shell/requests/job_building.h"
#include "shell/log/post_log_line.h"
#include "shell/userio/prompt_kind.h"
#include "shell/update/update_flash.h"

namespace {


// Restores both remote-line flags on every way out of a remote line.
class RemoteLineFlags {
 public:
  RemoteLineFlags(int& interactive, int& secondRequest) : interactive_(interactive), secondRequest_(secondRequest) {
    interactive_ = 0;
    secondRequest_ = 0;
  }
  ~RemoteLineFlags() {
    interactive_ = 1;
    secondRequest_ = 1;
  }
  RemoteLineFlags(const RemoteLineFlags&) = delete;
  RemoteLineFlags& operator=(const RemoteLineFlags&) = delete;

 private:
  int& interactive_;
  int& secondRequest_;
};

constexpr const char* kOverwriteQuestion = "File already exists. Overwrite it?";
constexpr const char* kNoSectorsToErase = "Error> No sectors selected to erase";

}  // namespace

CPreProcessingThread::CPreProcessingThread(PreprocessingServices services) : services_(std::move(services)) {
  if (!services_.dialogs) services_.dialogs = std::make_shared<CShellPromptDialogs>();
  asker_ = std::make_unique<CQueuePromptAsker>(Queue(), PT_PREPROCESSING);
  BuildMessageMap();
}

CPreProcessingThread::~CPreProcessingThread() = default;

bool CPreProcessingThread::InitInstance() {
  lastScriptFile_.clear();
  interactive_ = 1;
  secondRequest_ = 1;
  packManager_ = nullptr;
  if (services_.scriptRunner) runner_ = services_.scriptRunner(*this);
  return true;
}

int CPreProcessingThread::ExitInstance() {
  runner_.reset();
  return WorkerThread::ExitInstance();
}

std::optional<platform::Message> CPreProcessingThread::WaitForReply(std::uint32_t number) {
  return WaitForMessage(number);
}

void CPreProcessingThread::BuildMessageMap() {
  using platform::Message;
  auto guarded = [this](void (CPreProcessingThread::*handler)()) {
    return [this, handler](Message&) { WithErrorPrompt([&] { (this->*handler)(); }); };
  };
  auto plain = [this](void (CPreProcessingThread::*handler)()) {
    return [this, handler](Message&) { (this->*handler)(); };
  };
  auto toUserIo = [](Message& m) { PostToTarget(PT_USER_IO, std::move(m)); };
  auto toCore = [](Message& m) { PostToTarget(PT_CORE, std::move(m)); };
  Map()
      .On<WM_FLASH>([this](Message& m) { OnUpdateFlash(static_cast<DeviceNumber>(static_cast<std::intptr_t>(m.wParam))); })
      .On<WM_ORVIX_FLASH>(guarded(&CPreProcessingThread::OnOrvixChipFlash))
      .On<WM_ERASE>(guarded(&CPreProcessingThread::OnErase))
      .On<WM_ORVIX_ERASE>(guarded(&CPreProcessingThread::OnOrvixChipErase))
      .On<WM_REVERSE_FLASH>([this](Message& m) {
        WithErrorPrompt([&] { m.wParam == kChosenReadBackRequest ? OnChosenReverseFlash() : OnReverseFlash(); });
      })
      .On<WM_ORVIX_REVERSE_FLASH>(guarded(&CPreProcessingThread::OnOrvixChipReverseFlash))
      .On<WM_FLASHPACK_MANAGER>(guarded(&CPreProcessingThread::OnFlashPackExtract))
      .On<WM_PROGRAM_MAGIC_KEY>([this](Message&) { QueueOptionsJob(WM_PROGRAM_MAGIC_KEY); })
      .On<WM_RUN_SCRIPT_FILE>(guarded(&CPreProcessingThread::OnRunScriptFile))
      .On<WM_RERUN_SCRIPT>(guarded(&CPreProcessingThread::OnRerunScript))
      .On<WM_COMM_CHECK>([this](Message&) { QueueOptionsJob(WM_COMM_CHECK); })
      .On<WM_RESET_TARGET>([this](Message&) { QueueOptionsJob(WM_RESET_TARGET); })
      // The main dialog's menu commands come from its command table with the
      // kind in wParam and no record; other senders hand a PromptRequest.
      .On<WM_USER_PROMPT>([this](std::unique_ptr<PromptRequest> request, Message& m) {
        const auto kind = request ? request->kind : static_cast<std::int32_t>(m.wParam);
        WithErrorPrompt([&] { OnAskUser(kind); });
      })
      .On<WM_FILES_DROPPED>([this](std::unique_ptr<std::vector<std::string>> paths) {
        OnDropFiles(paths ? std::move(*paths) : std::vector<std::string>{});
      })
      .On<WM_REMOTE_COMMAND>([this](std::unique_ptr<std::string> line) { OnRemoteCommand(line ? *line : std::string()); })
      // Every line before it has run and posted its reply: back it goes.
      .On<WM_REMOTE_LINES_DONE>(
          [](platform::Message& m) { PostToTarget<WM_REMOTE_LINES_DONE>(PT_REMOTE_IO, m.wParam); })
      .On<WM_QUIT_THREAD>([this] { PostQuitMessage(0); })
      .On<WM_SELECT_PRODUCT>(toUserIo)
      .On<WM_RAM_DUMP>(plain(&CPreProcessingThread::OnRamDump))
      .On<WM_FLASHPACK_STATUS>([this](std::unique_ptr<FlashpackStatusRecord> record, Message& m) {
        const platform::LParam notInteractive = m.lParam;
        WithErrorPrompt([&] { OnFlashPackDone(std::move(record), notInteractive); });
      })
      .On<WM_RECENT_FILE>([this](Message& m) { WithErrorPrompt([&] { OnRecentFile(static_cast<int>(m.wParam)); }); })
      .On<WM_FLASH_IMAGE_FILE>(guarded(&CPreProcessingThread::OnFlashChosenImage))
      .On<WM_DOWNLOAD_PRODUCT_FILES>(toUserIo)
      .On<WM_CANCEL_DEVICE>(toCore)
      .On<WM_RETRY_DEVICE>(toCore)
      .On<WM_CUSTOM_MENU_ITEM>([this](Message& m) { OnCustomMenuItem(static_cast<std::size_t>(m.wParam)); })
      .On<WM_RALIX_FORMAT>(plain(&CPreProcessingThread::OnFormatFileSystemRequest))
      .On<WM_RALIX_FLASH_FILE>(guarded(&CPreProcessingThread::OnSmartphoneFlashFile))
      .On<WM_RALIX_DISCONNECT>([this](Message& m) { OnSmartphoneDisconnect(m.wParam); });
}

void CPreProcessingThread::WithErrorPrompt(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    PostErrorPrompt();
  }
}

// ---- menu requests ----------------------------------------------------------

void CPreProcessingThread::RequireRs232(const char* errorLine) {
  if (GetAppSettings().GetIntParam(OPTION_COMM_PROTOCOL) == 0) return;
  PostLogLine(errorLine);
  throw QUILLON_ERROR;
}

void CPreProcessingThread::OnOrvixChipFlash() {
  RequireRs232("Error> Orvix Flash is only available in RS232 mode");
  auto path = OpenFileDialog({"s", "", kSRecordFilter, "GPS Chip Flash", false});
  if (!path) return;
  auto payload = std::make_unique<FileJobPayload>();
  payload->imageFileName = *path;
  payload->options = *SettingsOptions();
  QueueJobRequest(MakeJobRequest(WM_ORVIX_FLASH, std::move(payload), SelectedSerialDevice()));
}

void CPreProcessingThread::OnErase() {
  SectorList selection;
  const int answer = asker_->AskAndWait(PROMPT_ERASE_SECTORS, &selection);
  if (answer == kAnswerAbort) throw QUILLON_ERROR;
  if (answer != kAnswerOk) return;
  // An erase of no sector would end "Complete" and erase nothing.
  if (std::none_of(selection.sectors.begin(), selection.sectors.end(),
                   [](const SectorEntry& sector) { return sector.selected != 0; })) {
    PostLogLine(kNoSectorsToErase);
    throw QUILLON_ERROR;
  }
  QueueJobRequest(MakeJobRequest(WM_ERASE, CopySettingsOptions(selection), DeviceByProtocol()));
}

void CPreProcessingThread::OnOrvixChipErase() {
  RequireRs232("Error> Orvix Erase is only available in RS232 mode");
  QueueJobRequest(MakeJobRequest(WM_ORVIX_ERASE, SettingsOptions(), SelectedSerialDevice()));
}

void CPreProcessingThread::OnReverseFlash() {
  const DeviceNumber device = DeviceByProtocol();
  bool queued = false;
  try {
    queued = QueueJobRequest(MakeJobRequest(WM_REVERSE_FLASH, BuildUpdateReadBack(SettingsSectorSelection()), device));
  } catch (...) {
    ReportReverseFlashRefused();
    throw;
  }
  if (!queued) {
    ReportReverseFlashRefused();
    return;
  }
  pendingUpdates_.insert(device);
}

void CPreProcessingThread::ReportReverseFlashRefused() const {
  // Flash Software waits for this read-back; the window gives it back.
  PostToTarget<WM_REQUEST_REFUSED>(PT_MAIN_WINDOW, WM_REVERSE_FLASH, interactive_ != 0 ? 1 : 0);
}

void CPreProcessingThread::OnFlashPackExtract() {
  RequireAutoErase(*asker_, interactive_ == 1);
  auto request = MakeJobRequest(WM_FLASHPACK_EXTRACT, SettingsOptions(), DeviceByProtocol());
  request->senderFlagA = 0;
  QueueJobRequest(std::move(request));
}

void CPreProcessingThread::QueueOptionsJob(std::uint32_t jobCode) {
  QueueJobRequest(MakeJobRequest(jobCode, SettingsOptions(), DeviceByProtocol()));
}

void CPreProcessingThread::OnAskUser(std::int32_t kind) {
  if (asker_->AskAndWait(kind) == kAnswerAbort) throw QUILLON_ERROR;
}

void CPreProcessingThread::OnRamDump() {
  try {
    CAppSettings& settings = GetAppSettings();
    if (settings.GetIntParam(OPTION_COMM_PROTOCOL) != 0 || settings.GetIntParam(OPTION_DATA_RATE) != 0) {
      PostLogLine("Error> Ram dumps must be done using RS232 at 115200bps");
      throw QUILLON_ERROR;
    }
    auto path = SaveFileDialog({"ram", "*.ram", kRamDumpFilter, "Save ram dump as ...", true});
    if (!path) return;
    auto payload = std::make_unique<RamDumpPayload>();
    payload->outputFileName = *path;
    payload->regions = MakeRegionList();
    payload->options = *SettingsOptions();
    QueueJobRequest(MakeJobRequest(WM_RAM_DUMP, std::move(payload), SelectedSerialDevice()));
  } catch (...) {
    PostErrorPrompt();
  }
}

void CPreProcessingThread::OnFlashPackDone(std::unique_ptr<FlashpackStatusRecord> record,
                                           platform::LParam notInteractive) {
  if (!record) return;
  packManager_ = record->packManager;
  // A request that was not interactive shows nothing; its record goes with
  // this handler.
  if (notInteractive != 0) return;
  PostFlashpackManagerPrompt(*record);
}

void CPreProcessingThread::OnCustomMenuItem(std::size_t index) {
  auto payload = std::make_unique<CustomCommandPayload>();
  // An index that names no item (the menu was reloaded meanwhile) queues nothing.
  if (!services_.customMenuItem || !services_.customMenuItem(index, *payload)) return;
  payload->commandLength = std::min<std::uint32_t>(payload->commandLength, CustomCommandPayload::kMaxCommandBytes);
  payload->options = *SettingsOptions();
  payload->regions = MakeRegionList();
  QueueJobRequest(MakeJobRequest(WM_CUSTOM_COMMAND, std::move(payload), DeviceByProtocol()));
}

void CPreProcessingThread::OnFormatFileSystemRequest() {
  auto options = std::make_unique<CJobOptions>();
  options->SetAllParams(GetAppSettings().CopyParams());
  QueueJobRequest(MakeJobRequest(WM_RALIX_FORMAT, std::move(options), DEVICE_SMARTPHONE));
}

void CPreProcessingThread::OnSmartphoneFlashFile() {
  auto path = OpenFileDialog({"bin", "", kDataFileFilter, "Smartphone Flash File", false});
  if (path) FlashSmartphoneFile(*path);
}

void CPreProcessingThread::OnSmartphoneDisconnect(platform::WParam generation) {
  PostLogLine(RalixDisconnect(generation) ? "Smartphone> Ralix Disconnect succeeded"
                                             : "Smartphone> Ralix Disconnect failed");
}

// ---- scripts and remote lines ---------------------------------------------------

void CPreProcessingThread::RunScriptFile(const std::string& path) {
  if (!runner_) {
    PostLogLine("Error> script commands are not available");
    throw QUILLON_ERROR;
  }
  runner_->RunScript(path);
}

void CPreProcessingThread::OnRunScriptFile() {
  auto path = OpenFileDialog({"qls", "", kScriptFilter, "Run Script", false});
  if (!path) return;
  lastScriptFile_ = *path;
  RunScriptFile(lastScriptFile_);
}

void CPreProcessingThread::OnRerunScript() { RunScriptFile(lastScriptFile_); }

void CPreProcessingThread::OnRemoteCommand(const std::string& line) {
  PostLogLine("Remote command: " + line);
  try {
    RemoteLineFlags flags(interactive_, secondRequest_);
    if (!runner_) {
      PostLogLine("Error> script commands are not available");
      throw QUILLON_ERROR;
    }
    runner_->RunRemoteLine(line);
  } catch (...) {
    PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::make_unique<StatusReport>(StatusReport{STATUS_ERROR, ""}));
  }
}

// ---- update flash -----------------------------------------------------------------

bool CPreProcessingThread::TakePendingUpdate(DeviceNumber device) {
  if (pendingUpdates_.erase(device) > 0) return true;
  return IsUsbDevice(device) && pendingUpdates_.erase(DEVICE_UNASSIGNED) > 0;
}

void CPreProcessingThread::OnUpdateFlash(DeviceNumber device) {
  if (!TakePendingUpdate(device)) return;
  WithErrorPrompt([this, device] {
    if (services_.updateFlash) {
      services_.updateFlash(*asker_, device);
    } else {
      RunUpdateFlash(*asker_, device);
    }
  });
}

// ---- dialogs ----------------------------------------------------------------------

std::optional<std::string> CPreProcessingThread::OpenFileDialog(const FileDialogSpec& spec) {
  return services_.dialogs->OpenFile(spec);
}

std::optional<std::string> CPreProcessingThread::SaveFileDialog(const FileDialogSpec& spec) {
  // A file that exists is replaced only when the user says so; No chooses
  // another name.
  for (;;) {
    std::optional<std::string> path = services_.dialogs->SaveFile(spec);
    std::error_code ec;
    if (!path || !spec.promptOverwrite || !std::filesystem::exists(*path, ec)) return path;
    const int answer = services_.dialogs->AskYesNoCancel(kOverwriteQuestion, kOverwriteOrRenameButtons);
    if (answer == kAnswerYes) return path;
    if (answer != kAnswerNo) return std::nullopt;
  }
}

std::string CPreProcessingThread::ExpandShortcut(const std::string& path) const {
  return services_.expandShortcut ? services_.expandShortcut(path) : path;
}
