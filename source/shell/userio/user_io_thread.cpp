#include "shell/prompt/question_buttons.h"
#include "shell/text/upper_case.h"
#include "shell/userio/user_io_thread.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/job_request.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/core/status_report.h"
#include "engine/product/copy_product_record.h"
#include "engine/product/product_file_parser.h"
#include "engine/prompt/prompt_service.h"
#include "engine/quillon_exception.h"
#include "platform/file_finder.h"
#include "platform/file_io.h"
#include "shell/config/config_file.h"
#include "shell/config/set_option.h"
#include "shell/custom_menu/custom_menu_service.h"
#include "shell/download/download_service.h"
#include "shell/log/post_log_line.h"
#include "shell/prompt/file_filters.h"
#include "shell/requests/job_building.h"
#include "shell/userio/product_companions.h"
#include "shell/userio/prompt_kind.h"
#include "shell/userio/set_option_tokens.h"

namespace {

// Private to this thread: a prompt's answer, {serial, result}.
constexpr std::uint32_t kPromptAnswered = WM_APP + 0xB0;

constexpr const char* kDownloadingStatusText = "Downloading the latest QLP files";
// The core thread answers a reset at once unless it waits for a box.
constexpr platform::Milliseconds kResetAnswerTimeout{5000};
constexpr const char* kSelectProductFailed = "Error> An error occurred while selecting the new product file";

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string CurrentDirectory() {
  std::error_code ec;
  const auto path = std::filesystem::current_path(ec);
  return ec ? std::string() : path.string();
}

std::string Quoted(const std::string& text) { return " \"" + text + "\" "; }

// The box of a missing product file: the log line, where it was looked
// for, and how a product is chosen from the window.
std::string MissingProductFileBoxText(const std::string& reason) {
  return "Error> Unable to read product file\n\n" + reason +
         "\n\nTo choose a product, open the product list in the main window and pick its last entry, "
         "\"Select a new product file...\"; the chosen file is copied into the working folder.";
}

// Where the product file was looked for, so that the error box's reason can
// be acted on: the file named by flash_product_file, in the working folder.
std::string MissingProductFileLine(const std::string& folder, const std::string& file) {
  if (file.empty()) return "No product file is selected (flash_product_file is empty) in the working folder " + folder;
  if (FileExists(folder + file)) return "The product file " + file + " in the working folder " + folder + " is not a file";
  return "The product file " + file + " is not in the working folder " + folder;
}

// Messages that the thread handles while a prompt is open, as a modal loop
// lets them through; everything else waits until the prompt closes.
bool IsHandledWhilePromptOpen(std::uint32_t number) {
  return number == WM_LOG_LINE || number == WM_SET_STATUS || number == WM_STATUS_TEXT ||
         number == WM_REFRESH_TITLE;
}

// The prompt request a WM_USER_PROMPT carries, read without taking it (the
// record's address is the message's wParam); null for none.
const PromptRequest* PeekPromptRequest(const platform::Message& message) {
  if (message.number != WM_USER_PROMPT || !message.HasPayload()) return nullptr;
  return reinterpret_cast<const PromptRequest*>(message.wParam);
}

// Error boxes show the log's last error line: the one of their moment.
bool ShowsLastLogError(std::int32_t kind) { return kind == PROMPT_ERROR || kind == PROMPT_RETRY_CANCEL; }

template <class Data>
Data& DialogOf(PromptCall& call) {
  return std::get<Data>(call.dialog);
}

}  // namespace

template <>
struct platform::MessagePayload<kPromptAnswered> : platform::CarriesNoRecord {};

CUserIOThread::CUserIOThread(CAppSettings& settings, UserIoSeams seams)
    : settings_(settings), seams_(std::move(seams)) {
  if (!seams_.loadCustomMenu) seams_.loadCustomMenu = MakeCustomMenuLoader(settings_);
  if (!seams_.downloadProductFiles) seams_.downloadProductFiles = MakeProductDownload(settings_);
  BuildMessageMap();
}

CUserIOThread::~CUserIOThread() = default;

std::string CUserIOThread::ConfigFilePath() const {
  std::lock_guard lock(pathsMutex_);
  return configPath_;
}

std::string CUserIOThread::LogFilePath() const {
  std::lock_guard lock(pathsMutex_);
  return logPath_;
}

template <platform::MessageId M, class F>
void CUserIOThread::OnThenDrainDeferred(F handler) {
  Map().On<M>([this, handler = std::move(handler)](platform::Message& m) mutable {
    handler(m);
    if (promptDepth_ == 0) DrainDeferred();
  });
}

void CUserIOThread::BuildMessageMap() {
  // Messages held back while a prompt was open are handled right after the
  // handler that opened it, before anything newer.
  using platform::Message;
  OnThenDrainDeferred<WM_USER_PROMPT>([this](Message& m) { OnUserPrompt(m.Take<WM_USER_PROMPT>()); });
  OnThenDrainDeferred<WM_SET_OPTION>([this](Message& m) { OnSetOption(m.Take<WM_SET_OPTION>()); });
  OnThenDrainDeferred<WM_SAVE_OPTIONS>([this](Message&) { OnSaveOptions(); });
  OnThenDrainDeferred<WM_RESTORE_OPTIONS>([this](Message&) { OnRestoreOptions(); });
  OnThenDrainDeferred<WM_STATUS_TEXT>([this](Message& m) { OnStatusText(m.Take<WM_STATUS_TEXT>(), m.lParam); });
  OnThenDrainDeferred<WM_REFRESH_TITLE>([this](Message&) { OnRefreshTitle(); });
  OnThenDrainDeferred<WM_LOG_LINE>([this](Message& m) { OnLogLine(m.Take<WM_LOG_LINE>()); });
  OnThenDrainDeferred<WM_SELECT_PRODUCT>([this](Message& m) { OnSelectProductFile(m.Take<WM_SELECT_PRODUCT>()); });
  OnThenDrainDeferred<WM_DOWNLOAD_PRODUCT_FILES>([this](Message& m) { OnDownloadProductFiles(m.wParam != 0); });
  OnThenDrainDeferred<WM_QUERY>([this](Message& m) { OnQuery(m.Take<WM_QUERY>()); });
  OnThenDrainDeferred<WM_APPLY_ALWAYS_ON_TOP>([this](Message&) { OnApplyAlwaysOnTop(); });
  OnThenDrainDeferred<WM_QUIT_THREAD>([this](Message&) { OnQuit(); });
  OnThenDrainDeferred<WM_SET_STATUS>([this](Message& m) { OnSetStatus(m.Take<WM_SET_STATUS>()); });
  OnThenDrainDeferred<WM_RELOAD_CUSTOM_MENU>([this](Message&) { OnReloadCustomMenu(); });
  // A late answer of a prompt no longer waited for.
  OnThenDrainDeferred<kPromptAnswered>([](Message&) {});
  // A late answer of a reset no longer waited for.
  OnThenDrainDeferred<WM_RUN_STATUS_RESET>([](Message&) {});
}

// ---- start-up and end ------------------------------------------------------

bool CUserIOThread::InitInstance() {
  bool errorFlag = false;
  workingDirectory_ = CurrentDirectory() + "/";
  settings_.SetAppString(APP_STRING_WORKING_DIRECTORY, workingDirectory_);

  const std::string title = settings_.GetAppString(APP_STRING_WINDOW_TITLE);
  {
    std::lock_guard lock(pathsMutex_);
    configPath_ = workingDirectory_ + title + ".cfg";
    logPath_ = workingDirectory_ + title + ".log";
  }
  log_.emplace(logPath_, seams_.clock);
  if (!log_->RemoveAtStartup()) errorFlag = true;

  title_ = title;
  shownTitle_ = title;
  titlePrefix_.clear();

  try {
    if (seams_.loadCustomMenu) seams_.loadCustomMenu();
  } catch (...) {
  }
  PostToTarget<WM_REBUILD_CUSTOM_MENU>(PT_MAIN_WINDOW);
  platform::PostThreadMessage<WM_REFRESH_TITLE>(Id());

  SetConfigDefaults(settings_);
  SyncConfigFile(0, configPath_, settings_);
  // RESTORE_OPTIONS before any SAVE_OPTIONS gives back the start-up options.
  settings_.SaveOptionsSnapshot();

  try {
    ReadProductFile();
  } catch (...) {
    errorFlag = true;
  }

  status_ = RunStatus{RUN_IDLE, "Startup"};

  const std::string productFile = settings_.GetStringParam(OPTION_PRODUCT_FILE);
  if (FileExists(workingDirectory_ + productFile)) {
    PostToTarget<WM_SELECT_PRODUCT>(PT_MAIN_WINDOW,
                 std::make_unique<ProductSelection>(
                     ProductSelection{productFile, settings_.GetStringParam(OPTION_PRODUCT_TAG)}));
  }
  PostToTarget<WM_STARTUP_CONTINUE>(PT_MAIN_WINDOW);

  const int previousSuspendCount = seams_.resumeRemoteIo ? seams_.resumeRemoteIo() : 1;
  if (previousSuspendCount != 1) {
    PostLogLine("Error> Invalid RemoteIO response - remote operations disabled");
    PostErrorPrompt();
  } else if (errorFlag) {
    PostErrorPrompt();
  }
  return true;
}

int CUserIOThread::ExitInstance() { return platform::WorkerThread::ExitInstance(); }

void CUserIOThread::OnQuit() {
  // A configuration that cannot be written is logged; the quit goes on.
  try {
    WriteConfiguration();
  } catch (...) {
  }
  PostQuitMessage(0);
}

void CUserIOThread::WriteConfiguration() { SyncConfigFile(1, configPath_, settings_); }

// The remote-I/O thread listens on a changed remote port at once; the same
// port changes nothing there.
void CUserIOThread::ListenOnRemotePort() { PostToTarget<WM_REMOTE_LISTEN>(PT_REMOTE_IO); }

// ---- idle, title and status ------------------------------------------------

bool CUserIOThread::OnIdle(long) {
  if (shownTitle_ != title_) {
    const std::string text = titlePrefix_ + shownTitle_;
    // ERROR ends only with STATUS RESET.
    if (status_.state != RUN_ERROR) status_ = RunStatus{RUN_BUSY, text};
    SetMainWindowTitle(text);
  }
  if (log_) log_->GuardSize();
  return false;
}

void CUserIOThread::SetMainWindowTitle(const std::string& title) {
  if (seams_.mainWindow) seams_.mainWindow->SetTitle(title);
}

void CUserIOThread::OnRefreshTitle() {
  shownTitle_ = title_;
  SetMainWindowTitle(shownTitle_);
}

void CUserIOThread::OnStatusText(std::unique_ptr<std::string> text, platform::LParam lParam) {
  const auto count = static_cast<long>(lParam);
  if (text) shownTitle_ = *text;
  if (shownTitle_.find("s19") != std::string::npos || shownTitle_.find("Bootloading 0") != std::string::npos ||
      shownTitle_.find("Bootloading 100") != std::string::npos) {
    SetMainWindowTitle(titlePrefix_ + shownTitle_);
  }
  if (count > 1) titlePrefix_ = std::to_string(count) + " ";
  else if (count == 1) titlePrefix_.clear();
}

void CUserIOThread::OnSetStatus(std::unique_ptr<StatusReport> report) {
  if (!report) return;
  if (report->acceptsJob) {
    ++jobsAccepted_;
    workPending_ = true;
  }
  // The core's report from before it had every accepted job is about
  // earlier work: the new job still waits.
  const bool stale = report->acceptedJobsReceived >= 0 && report->acceptedJobsReceived < jobsAccepted_;
  if (!report->progressOnly && !report->lineWork && !stale && report->state != STATUS_ERROR) {
    workPending_ = report->state == STATUS_BUSY;
  }
  if (status_.state == RUN_ERROR || stale) return;
  if (report->progressOnly) {
    // How the work goes, while it goes.
    if (status_.state == RUN_BUSY && report->state == STATUS_BUSY) status_.text = report->text;
    return;
  }
  // A line's own work ended well, but queued work still runs.
  if (report->lineWork && report->state == STATUS_DONE && workPending_) return;
  status_.state = static_cast<RunState>(report->state);
  status_.text = report->text;
  if (status_.state == RUN_ERROR && status_.text.empty()) {
    try {
      status_.text = log_->GetLastLogError();
    } catch (...) {
      // No log to read the error from.
      status_.text = CLogFile::kUndefinedError;
    }
  }
}

void CUserIOThread::OnApplyAlwaysOnTop() {
  if (seams_.mainWindow) seams_.mainWindow->SetAlwaysOnTop(settings_.GetIntParam(OPTION_ALWAYS_ON_TOP) != 0);
}

void CUserIOThread::OnLogLine(std::unique_ptr<std::string> text) {
  if (text) {
    if (log_) log_->WriteLogLine(*text);
    if (seams_.mainWindow) seams_.mainWindow->ShowLatestLogLine(*text);
  }
}

void CUserIOThread::OnReloadCustomMenu() {
  try {
    if (seams_.loadCustomMenu) seams_.loadCustomMenu();
  } catch (...) {
  }
  PostToTarget<WM_REBUILD_CUSTOM_MENU>(PT_MAIN_WINDOW);
}

void CUserIOThread::OnDownloadProductFiles(bool fromScript) {
  // A client polling STATUS sees the download as work from its line on.
  if (fromScript && status_.state != RUN_ERROR) status_ = RunStatus{RUN_BUSY, kDownloadingStatusText};
  try {
    if (seams_.downloadProductFiles) seams_.downloadProductFiles(fromScript);
  } catch (...) {
  }
}

// ---- SET, SAVE_OPTIONS, RESTORE_OPTIONS ------------------------------------

void CUserIOThread::OnSetOption(std::unique_ptr<SetOptionTokens> tokens) {
  bool done = false;
  try {
    if (tokens) {
      SetOptionContext context{settings_, workingDirectory_, [this] { ReadProductFile(ProductReadFailure::Throw); },
                               [this] { WriteConfiguration(); }};
      done = ApplySetOption(*tokens, context);
      if (done) ListenOnRemotePort();
    }
  } catch (...) {
    done = false;
  }
  PostToTarget<WM_SET_OPTION_REPLY>(PT_PREPROCESSING, done ? 1 : 0);
}

void CUserIOThread::OnSaveOptions() {
  bool done = true;
  try {
    settings_.SaveOptionsSnapshot();
  } catch (...) {
    done = false;
  }
  PostToTarget<WM_SAVE_OPTIONS_REPLY>(PT_PREPROCESSING, done ? 1 : 0);
}

void CUserIOThread::OnRestoreOptions() {
  bool done = true;
  try {
    settings_.RestoreOptionsSnapshot();
    WriteConfiguration();
    ListenOnRemotePort();
  } catch (...) {
    done = false;
  }
  PostToTarget<WM_RESTORE_OPTIONS_REPLY>(PT_PREPROCESSING, done ? 1 : 0);
}

// ---- prompts ---------------------------------------------------------------

void CUserIOThread::OnUserPrompt(std::unique_ptr<PromptRequest> request) {
  if (!request) return;
  if (seams_.mainWindow) seams_.mainWindow->BringToForeground();
  int result = 0;
  try {
    result = ShowPrompt(*request);
  } catch (...) {
    result = kAnswerAbort;
  }
  if (request->wantReply == 1) PostToTarget<WM_PROMPT_REPLY>(request->replyTarget, static_cast<platform::WParam>(result));
}

int CUserIOThread::ShowBox(const std::string& text, std::uint32_t style, PromptKind kind) {
  auto call = std::make_shared<PromptCall>();
  call->kind = kind;
  call->caption = title_;
  call->text = text;
  call->style = style;
  return RunPrompt(std::move(call));
}

// "File already exists. Overwrite it?" before a product file is copied in:
// Overwrite copies it, Keep Existing (the default) uses the file there.
int CUserIOThread::AskOverwrite() {
  auto call = std::make_shared<PromptCall>();
  call->caption = title_;
  call->text = "File already exists. Overwrite it?";
  call->style = kStyleYesNoCancel | kIconQuestion | (kOverwriteOrKeepButtons.noIsDefault ? kStyleDefaultButton2 : 0);
  call->firstButton = kOverwriteOrKeepButtons.yes;
  call->secondButton = kOverwriteOrKeepButtons.no;
  return RunPrompt(std::move(call));
}

std::string CUserIOThread::TakeErrorBoxText() {
  if (heldBoxText_) return *std::exchange(heldBoxText_, std::nullopt);
  return log_->GetLastLogError();
}

int CUserIOThread::RunPrompt(std::shared_ptr<PromptCall> call) {
  auto service = seams_.prompts ? seams_.prompts : GetShellPromptService();
  if (!service) return DefaultAnswerFor(*call);
  const std::uint64_t serial = ++promptSerial_;
  const platform::ThreadId self = Id();
  ++promptDepth_;
  openPrompts_.push_back({serial, call->kind});
  struct OpenGuard {
    CUserIOThread& thread;
    ~OpenGuard() {
      --thread.promptDepth_;
      thread.openPrompts_.pop_back();
    }
  } guard{*this};
  service->Begin(std::move(call), [self, serial](int result) {
    platform::PostThreadMessage<kPromptAnswered>(self, static_cast<platform::WParam>(serial),
                                static_cast<platform::LParam>(result));
  });
  for (;;) {
    // A prompt opened over this one may have taken this one's answer.
    if (auto it = earlyAnswers_.find(serial); it != earlyAnswers_.end()) {
      const int answer = it->second;
      earlyAnswers_.erase(it);
      return answer;
    }
    std::optional<platform::Message> message = Queue().Get();
    if (!message) return kAnswerAbort;  // the queue was closed
    if (message->number == kPromptAnswered) {
      if (message->wParam == serial) return static_cast<int>(message->lParam);
      KeepAnswerOfOuterPrompt(message->wParam, static_cast<int>(message->lParam));
      continue;
    }
    HandleWhilePromptOpen(std::move(*message));
  }
}

void CUserIOThread::KeepAnswerOfOuterPrompt(std::uint64_t serial, int answer) {
  // An answer that nobody waits for any more is dropped.
  for (const OpenPrompt& open : openPrompts_) {
    if (open.serial == serial) earlyAnswers_[serial] = answer;
  }
}

bool CUserIOThread::ShowsAtOnceWhilePromptOpen(const platform::Message& message) const {
  // The FlashPack Manager is a working window, not a question: the error
  // of its own work (an add the core refused, a delete of nothing) is shown
  // over it at once, not after it closes.
  const PromptRequest* request = PeekPromptRequest(message);
  return request != nullptr && request->kind == PROMPT_ERROR && !openPrompts_.empty() &&
         openPrompts_.back().kind == PROMPT_FLASHPACK_MANAGER;
}

void CUserIOThread::HandleWhilePromptOpen(platform::Message message) {
  // The log is written at once, whatever waits, so that it is complete and
  // every line has the time it happened.
  if (message.number == WM_LOG_LINE || ShowsAtOnceWhilePromptOpen(message)) {
    Map().Dispatch(message);
    return;
  }
  // Once one message waits, every later one waits behind it, so the order
  // in which messages are handled never changes.
  if (deferred_.empty() && IsHandledWhilePromptOpen(message.number)) {
    Map().Dispatch(message);
    return;
  }
  DeferredMessage deferred{std::move(message), std::nullopt};
  // An error box that waits shows the error of its own moment, not a later
  // line that the log took meanwhile.
  if (const PromptRequest* request = PeekPromptRequest(deferred.message); request && ShowsLastLogError(request->kind)) {
    try {
      deferred.boxText = log_->GetLastLogError();
    } catch (...) {
    }
  }
  deferred_.push_back(std::move(deferred));
}

void CUserIOThread::DrainDeferred() {
  while (!deferred_.empty()) {
    DeferredMessage deferred = std::move(deferred_.front());
    deferred_.pop_front();
    platform::Message& message = deferred.message;
    heldBoxText_ = std::move(deferred.boxText);
    if (message.number == platform::kQuitMessage) {
      // The loop's own quit: everything behind it would never run.
      deferred_.clear();
      heldBoxText_.reset();
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!Map().Dispatch(message)) OnUnhandledMessage(message);
    heldBoxText_.reset();
  }
}

// ---- queries ---------------------------------------------------------------

void CUserIOThread::OnQuery(std::unique_ptr<QueryRequest> request) {
  if (!request) return;
  std::string answer;
  try {
    switch (request->kind) {
      case QUERY_DIRECTORY: answer = ChangeWorkingDirectory(request->argument); break;
      case QUERY_LIST_FILES: answer = ListDirectory(request->argument); break;
      case QUERY_LIST_PRODUCT_TAGS: answer = ListProductTags(); break;
      case QUERY_FLASH_DETAILS: answer = GetFlashDetails(); break;
      case QUERY_DELETE: answer = QueueDeleteFile(request->argument); break;
      case QUERY_STATUS: answer = QueryStatus(request->argument); break;
      default: break;
    }
  } catch (...) {
    answer.clear();
  }
  if (request->wantReply == 1) {
    PostToTarget<WM_QUERY_REPLY>(request->replyTarget, std::make_unique<std::string>(answer));
  } else {
    PostToTarget<WM_QUERY_REPLY>(request->replyTarget, nullptr);
  }
}

std::string CUserIOThread::ChangeWorkingDirectory(const std::string& argument) {
  if (argument.empty()) return "\"" + CurrentDirectory() + "\"";
  const std::string directory = UpperCase(argument) == "DEFAULT" ? workingDirectory_ : argument;
  PostLogLine("Changing the Windows current working directory to " + directory);
  std::error_code ec;
  std::filesystem::current_path(directory, ec);
  if (ec) PostLogLine("Error> Unable to change to directory, " + directory);
  return "";
}

std::string CUserIOThread::ListDirectory(const std::string& pattern) const {
  std::string answer;
  for (const platform::FoundFile& file : platform::FindFiles(pattern)) {
    answer += " \"" + file.name + (file.isDirectory ? "/" : "") + "\" ";
  }
  return answer;
}

std::string CUserIOThread::ListProductTags() const {
  std::string answer;
  for (const platform::FoundFile& file : platform::FindFiles(workingDirectory_ + "*.qlp")) {
    if (file.isDirectory) continue;
    ProductFileParser parser;
    std::string tag;
    int ampersand = 0;
    for (int more = parser.ReadFirstProductName(workingDirectory_ + file.name, tag, ampersand); more != 0;
         more = parser.ReadNextProductName(tag, ampersand)) {
      answer += Quoted(tag);
    }
  }
  return answer;
}

std::string CUserIOThread::GetFlashDetails() const {
  std::string answer;
  for (const CFlashRecord& flash : product_.flashes) {
    for (const CSectionRecord& section : flash.sections) {
      char line[160];
      std::snprintf(line, sizeof line, "address=0x%x, sector_size=0x%x, num_sectors=%d, type=", section.address,
                    section.sectorSize, static_cast<int>(section.numSectors));
      answer += Quoted(line + section.type);
    }
  }
  return answer;
}

std::string CUserIOThread::QueueDeleteFile(const std::string& fileName) {
  auto request = std::make_unique<CJobRequest>(WM_DELETE_FILE, JobPayload(std::make_unique<std::string>(fileName)));
  request->device = DEVICE_INDEPENDENT;
  // BUSY from the accepted line on, so STATUS never answers earlier work's DONE.
  if (status_.state != RUN_ERROR) status_ = RunStatus{RUN_BUSY, kJobQueuedStatusText};
  ++jobsAccepted_;
  workPending_ = true;
  request->acceptedLine = 1;
  PostToTarget<WM_QUEUE_JOB>(PT_CORE, std::move(request));
  return "";
}

std::string CUserIOThread::QueryStatus(const std::string& argument) {
  if (UpperCase(argument) == "RESET") ResetRunStatus();
  return std::string(RunStateWord(status_.state)) + " \"" + status_.text + "\"";
}

void CUserIOThread::ResetRunStatus() {
  // The core thread cancels the work of the devices in error before any job
  // of a later line reaches it, and says whether accepted work remains.
  bool remains = workPending_;
  if (PostToTarget<WM_RESET_RUN_STATUS>(PT_CORE)) {
    if (std::optional<platform::Message> reply = WaitForMessage(WM_RUN_STATUS_RESET, kResetAnswerTimeout)) {
      remains = reply->wParam != 0;
    }
  }
  workPending_ = remains;
  PostToTarget<WM_RESET_ALL_ROWS>(PT_MAIN_WINDOW);
  status_ = remains ? RunStatus{RUN_BUSY, kJobQueuedStatusText} : RunStatus{RUN_IDLE, "Status reset to idle"};
}

// ---- product file ----------------------------------------------------------

void CUserIOThread::ReadProductFile(ProductReadFailure onFailure) {
  const std::string path = workingDirectory_ + settings_.GetStringParam(OPTION_PRODUCT_FILE);
  const std::string tag = settings_.GetStringParam(OPTION_PRODUCT_TAG);
  PostLogLine("Reading product file " + path);
  if (!std::filesystem::is_regular_file(path)) {
    const std::string reason = MissingProductFileLine(workingDirectory_, settings_.GetStringParam(OPTION_PRODUCT_FILE));
    PostLogLine(reason);
    PostLogLine("Error> Unable to read product file");
    if (onFailure == ProductReadFailure::Throw) throw QUILLON_ERROR;
    auto prompt = std::make_unique<PromptRequest>();
    prompt->kind = PROMPT_ERROR;
    prompt->replyTarget = PT_USER_IO;
    prompt->boxText = MissingProductFileBoxText(reason);
    PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
    return;
  }
  try {
    // The parser replaces the product only when the whole file loaded.
    ProductFileParser parser;
    parser.LoadProduct(path, tag, product_);
    SectorList list;
    CopyProductRecord(product_, list);
    settings_.SetSectorList(list);
  } catch (QUILLON_EXCEPTION) {
    if (onFailure == ProductReadFailure::Throw) throw;
    PostErrorPrompt();
  }
}

void CUserIOThread::OnSelectProductFile(std::unique_ptr<ProductSelection> selection) {
  try {
    std::string file;
    std::string tag;
    bool newSelection = true;
    if (selection) {
      file = selection->productFile;
      tag = selection->productTag;
    } else {
      newSelection = ChooseProductFile(file, tag);
      if (FileExists(workingDirectory_ + file)) {
        PostToTarget<WM_SELECT_PRODUCT>(PT_MAIN_WINDOW, std::make_unique<ProductSelection>(ProductSelection{file, tag}));
      }
    }
    if (newSelection) {
      settings_.SetStringParam(OPTION_PRODUCT_FILE, file);
      settings_.SetStringParam(OPTION_PRODUCT_TAG, tag);
      WriteConfiguration();
      if (file.empty() || tag.empty()) {
        settings_.SetSectorList(SectorList{});
      } else {
        ReadProductFile();
        PostLogLine("Selecting new product tag '" + tag + "'");
      }
    }
  } catch (...) {
    PostLogLine(kSelectProductFailed);
    PostErrorPrompt();
  }
  selection.reset();
  PostToTarget<WM_REBUILD_CUSTOM_MENU>(PT_MAIN_WINDOW);
}

// The user's "Select a new product file": false when nothing changes (file
// and tag are then the current ones).
bool CUserIOThread::ChooseProductFile(std::string& file, std::string& tag) {
  file = settings_.GetStringParam(OPTION_PRODUCT_FILE);
  tag = settings_.GetStringParam(OPTION_PRODUCT_TAG);

  auto call = std::make_shared<PromptCall>();
  call->kind = kFileOpenPrompt;
  call->caption = title_;
  call->text = "Choose a product file";
  call->dialog = FileOpenDialogData{kProductFileFilter, ""};
  if (RunPrompt(call) != kAnswerOk) return false;
  const std::string source = DialogOf<FileOpenDialogData>(*call).chosenPath;
  if (source.empty()) return false;

  const std::string newName = std::filesystem::path(source).filename().replace_extension(".qlp").string();
  const std::string destination = workingDirectory_ + newName;
  std::error_code ec;
  bool copy = !FileExists(destination);
  if (!copy && !std::filesystem::equivalent(source, destination, ec)) {
    const int answer = AskOverwrite();
    if (answer == kAnswerCancel) return false;
    copy = answer == kAnswerYes;
  }
  ProductFileParser parser;
  int ampersand = 0;
  if (copy) {
    CopyProductFile(source, destination, newName);
  } else {
    PostLogLine("File '" + newName + "' already exists in the Quillon directory. Using the existing file.");
  }
  file = newName;
  parser.ReadFirstProductName(destination, tag, ampersand);
  OfferCompanionFiles(std::filesystem::path(source).parent_path().string());
  return true;
}

// The kernel and update files beside a chosen product file: those missing
// in the working folder are offered in one question; those there with
// other contents only replace them when the user says so (No by default).
void CUserIOThread::OfferCompanionFiles(const std::string& sourceFolder) {
  const std::vector<CompanionFile> found = FindCompanionFiles(sourceFolder, workingDirectory_);
  std::vector<CompanionFile> toCopy;
  const auto missing = CompanionsIn(found, CompanionState::Missing);
  if (!missing.empty() && ShowBox(CompanionQuestion(missing, sourceFolder, workingDirectory_, false),
                                  kStyleYesNo | kIconQuestion) == kAnswerYes) {
    toCopy = missing;
  }
  const auto differing = CompanionsIn(found, CompanionState::Differs);
  if (!differing.empty() &&
      ShowBox(CompanionQuestion(differing, sourceFolder, workingDirectory_, true),
              kStyleYesNo | kIconExclamation | kStyleDefaultButton2) == kAnswerYes) {
    toCopy.insert(toCopy.end(), differing.begin(), differing.end());
  }
  bool failed = false;
  for (const CompanionFile& companion : toCopy) {
    if (const std::string error = CopyCompanionFile(companion); !error.empty()) {
      PostLogLine(error);
      failed = true;
      continue;
    }
    PostLogLine("Copying " + companion.source + " to the Quillon directory as " + companion.name + ".");
  }
  if (failed) PostErrorPrompt();
}

void CUserIOThread::CopyProductFile(const std::string& source, const std::string& destination,
                                    const std::string& newName) {
  std::string contents;
  if (!platform::ReadWholeFile(source, contents) || !platform::WriteFileAtomically(destination, contents)) {
    PostLogLine("Error> Unable to copy " + source + " to " + destination + ".");
    throw QUILLON_ERROR;
  }
  PostLogLine("Copying " + source + " to the Quillon directory as " + newName + ".");
}
