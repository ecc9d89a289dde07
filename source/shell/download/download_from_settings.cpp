#include "shell/download/download_from_settings.h"

#include <memory>

#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"

void PostLogLineToUserIo(const std::string& line) {
  PostToTarget(PT_USER_IO, WM_LOG_LINE, std::make_unique<std::string>(line));
}

DownloadSettings DownloadSettingsFrom(const CAppSettings& settings) {
  DownloadSettings download;
  download.workingDirectory = settings.GetAppString(APP_STRING_WORKING_DIRECTORY);
  download.server = settings.GetStringParam(OPTION_SERVER);
  download.log = PostLogLineToUserIo;
  return download;
}
