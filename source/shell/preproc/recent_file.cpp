// Flashing an image file chosen in the file dialog, or an entry of the
// recent-files list again.

#include <string>

#include "engine/core/app_settings.h"
#include "engine/core/job_payloads.h"
#include "engine/core/messages.h"
#include "engine/quillon_exception.h"
#include "shell/preproc/preprocessing_thread.h"
#include "shell/requests/flash_requests.h"
#include "shell/requests/job_building.h"
#include "shell/log/post_log_line.h"
#include "shell/preproc/preprocessing_dialogs.h"
#include "shell/userio/prompt_kind.h"

void CPreProcessingThread::OnRecentFile(int index) {
  const std::string entry = GetAppSettings().GetAppString(APP_STRING_RECENT_FILE, index);
  if (entry.empty()) {
    PostLogLine("Error> Recent Files entry " + std::to_string(index) + " is empty");
    PostErrorPrompt();
    return;
  }
  if (entry.size() > 1 && EndsWithNoCase(entry, ".s")) {
    // A GPS-chip image: flashed through the selected COM port, whatever the
    // protocol.
    RememberRecentFile(entry);
    ChangeToFileFolder(entry);
    auto payload = std::make_unique<FileJobPayload>();
    payload->imageFileName = entry;
    payload->options = *CopySettingsOptions(SettingsSectorSelection());
    QueueJobRequest(MakeJobRequest(WM_ORVIX_FLASH, std::move(payload), SelectedSerialDevice()));
  } else if (entry.size() > 3 && EndsWithNoCase(entry, ".bin")) {
    FlashSmartphoneFile(entry);
  } else {
    FlashImageFile(*asker_, entry);
  }
}

// The chosen image is queued as a dropped or remembered image file is: it
// heads the recent-files list and, with auto erase off, the user picks the
// sectors to erase first.
void CPreProcessingThread::OnFlashChosenImage() {
  auto path = OpenFileDialog({"s19", "", kImageFileFilter, "Flash File", false});
  if (path) FlashImageFile(*asker_, *path);
}
