// Files dropped onto the main window: custom-menu files are copied into the
// working directory, every other file becomes a flash job.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "engine/quillon_exception.h"
#include "platform/file_io.h"
#include "shell/requests/image_file_check.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell/requests/auto_erase.h"
#include "shell/requests/job_building.h"
#include "shell/log/post_log_line.h"
#include "shell/userio/prompt_kind.h"

namespace {

constexpr std::size_t kCopyChunk = 8192;

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string FileNameOf(const std::string& path) {
  const std::string::size_type cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// Copies the file in chunks into a temporary file beside the destination,
// which replaces the destination only when every byte arrived.
bool CopyWholeFile(const std::string& source, const std::string& destination) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  platform::AtomicFileWriter out;
  if (!out.Open(destination)) return false;
  char chunk[kCopyChunk];
  for (;;) {
    in.read(chunk, sizeof chunk);
    const std::streamsize got = in.gcount();
    if (got > 0 && !out.Write(chunk, static_cast<std::size_t>(got))) return false;
    if (got < static_cast<std::streamsize>(sizeof chunk)) break;
  }
  if (in.bad()) return false;
  return out.Commit();
}

void AskErrorPromptAndWait(IPromptAsker& asker) { asker.AskAndWait(PROMPT_ERROR); }

}  // namespace

void CPreProcessingThread::OnDropFiles(std::vector<std::string> paths) {
  try {
    std::vector<std::string> rest = CopyDroppedMenuFiles(paths);
    if (rest.empty()) return;
    std::optional<SectorList> selection = DroppedFilesSelection(rest);
    if (!selection) return;
    for (const std::string& path : rest) QueueDroppedFile(path, *selection);
  } catch (...) {
    AskErrorPromptAndWait(*asker_);
  }
}

std::vector<std::string> CPreProcessingThread::CopyDroppedMenuFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> rest;
  for (const std::string& path : paths) {
    if (EndsWithNoCase(path, ".xml")) {
      CopyMenuFile(path);
    } else {
      rest.push_back(path);
    }
  }
  return rest;
}

void CPreProcessingThread::CopyMenuFile(const std::string& source) {
  const std::string destination =
      GetAppSettings().GetAppString(APP_STRING_WORKING_DIRECTORY) + FileNameOf(source);
  // A file dropped from the working directory itself is already in place.
  if (SameFile(source, destination)) return;
  std::error_code error;
  if (std::filesystem::exists(destination, error)) {
    const int answer = services_.dialogs->AskYesNoCancel("File already exists. Overwrite it?", kOverwriteOrKeepButtons);
    if (answer != kAnswerYes) return;
  }
  if (!CopyWholeFile(source, destination)) {
    PostLogLine("Error> Unable to copy " + source + " to " + destination + ".");
    throw QUILLON_ERROR;
  }
  PostToTarget<WM_RELOAD_CUSTOM_MENU>(PT_USER_IO);
  PostLogLine("Copying " + source + " to the Quillon directory as " + destination + ".");
}

std::optional<SectorList> CPreProcessingThread::DroppedFilesSelection(const std::vector<std::string>& paths) {
  if (paths.size() == 1 && GetAppSettings().GetIntParam(OPTION_AUTO_ERASE_FLASH) == 0) {
    SectorList selection;
    const int answer = asker_->AskAndWait(PROMPT_ERASE_SECTORS, &selection, FileNameOf(paths.front()));
    if (answer == kAnswerAbort) throw QUILLON_ERROR;
    if (answer != kAnswerOk) return std::nullopt;
    return selection;
  }
  RequireAutoErase(*asker_, interactive_ == 1);
  return SettingsSectorSelection();
}

void CPreProcessingThread::QueueDroppedFile(const std::string& path, const SectorList& selection) {
  PostLogLine(path + " dragged & dropped into Quillon");
  const bool rs232 = GetAppSettings().GetIntParam(OPTION_COMM_PROTOCOL) == 0;
  auto payload = std::make_unique<FileJobPayload>();
  payload->options = *CopySettingsOptions(selection);
  if (EndsWith(path, ".s")) {
    RequireRs232("Error> Orvix Flash is only available in RS232 mode");
    payload->imageFileName = ExpandShortcut(path);
    RememberRecentFile(path);
    QueueJobRequest(MakeJobRequest(WM_ORVIX_FLASH, std::move(payload), SelectedSerialDevice()));
    return;
  }
  payload->imageFileName = ExpandShortcut(path);
  const bool smartphoneFile = EndsWithNoCase(path, ".bin");
  if (!smartphoneFile) {
    // The radio's loader reads S-records only; a file that is not is
    // refused here, and only a file that can flash is remembered.
    const ImageFileCheck check = CheckImageFile(payload->imageFileName);
    if (check == ImageFileCheck::NotSRecords) {
      PostLogLine(NotSRecordsLine(path));
      throw QUILLON_ERROR;
    }
    RememberRecentFile(path);
  }
  const DeviceNumber device = rs232 ? SelectedSerialDevice() : (smartphoneFile ? DEVICE_SMARTPHONE : DEVICE_UNASSIGNED);
  QueueJobRequest(MakeJobRequest(smartphoneFile ? WM_RALIX_FLASH_FILE : WM_FLASH, std::move(payload), device));
}
