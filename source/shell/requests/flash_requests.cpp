#include "shell/requests/flash_requests.h"

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/quillon_exception.h"
#include "shell/log/post_log_line.h"
#include "shell/requests/image_file_check.h"
#include "shell/requests/job_building.h"
#include "shell/userio/prompt_kind.h"

namespace {

// The name of the file without its folder, for the sector dialog's title.
std::string FileNameOf(const std::string& path) {
  const std::string::size_type cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Only radio images go into the recent-files list: a smartphone's ".bin"
// there would be sent to the smartphone when chosen again.
bool IsRememberedImage(const std::string& path) { return path.size() > 4 && EndsWithNoCase(path, ".s19"); }

// A file that is not S-records is refused before a job starts and is not
// remembered (Recent Files would offer it again though it cannot flash); a
// file that does not open is left to the job, which names it.
bool RefuseIfNotSRecords(const std::string& path, bool& remember) {
  const ImageFileCheck check = CheckImageFile(path);
  if (check != ImageFileCheck::NotSRecords) return false;
  remember = false;
  PostLogLine(NotSRecordsLine(path));
  return true;
}

std::unique_ptr<FileJobPayload> MakeFilePayload(const std::string& path, const SectorList& selection) {
  auto payload = std::make_unique<FileJobPayload>();
  payload->imageFileName = path;
  payload->options = *CopySettingsOptions(selection);
  return payload;
}

void QueueImageFlash(const std::string& path, const SectorList& selection, const FlashImageExtras& extras) {
  auto payload = MakeFilePayload(path, selection);
  payload->keepAlive = extras.keepAlive;
  payload->finishedNote = extras.finishedNote;
  payload->cancelledNote = extras.cancelledNote;
  QueueJobRequest(MakeJobRequest(WM_FLASH, std::move(payload), DeviceByProtocol()));
}

}  // namespace

void FlashImageFile(IPromptAsker& asker, const std::string& path, const FlashImageExtras& extras) {
  bool remember = extras.rememberImage;
  if (extras.rememberImage && RefuseIfNotSRecords(path, remember)) throw QUILLON_ERROR;
  if (remember && IsRememberedImage(path)) {
    RememberRecentFile(path);
    ChangeToFileFolder(path);
  }
  if (GetAppSettings().GetIntParam(OPTION_AUTO_ERASE_FLASH) == 1) {
    QueueImageFlash(path, SettingsSectorSelection(), extras);
    return;
  }
  SectorList selection;
  const int answer = asker.AskAndWait(PROMPT_ERASE_SECTORS, &selection, FileNameOf(path));
  if (answer == kAnswerOk) {
    QueueImageFlash(path, selection, extras);
  } else if (answer == kAnswerAbort) {
    throw QUILLON_ERROR;
  }
}

void FlashSmartphoneFile(const std::string& path) {
  if (EndsWithNoCase(path, ".bin")) {
    RememberRecentFile(path);
    ChangeToFileFolder(path);
  }
  auto payload = MakeFilePayload(path, SettingsSectorSelection());
  QueueJobRequest(MakeJobRequest(WM_RALIX_FLASH_FILE, std::move(payload), DEVICE_SMARTPHONE));
}
