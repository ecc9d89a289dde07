#include "shell/download/download_from_settings.h"

#include "engine/core/job_option_ids.h"
#include "shell/log/post_log_line.h"

DownloadSettings DownloadSettingsFrom(const CAppSettings& settings) {
  DownloadSettings download;
  download.workingDirectory = settings.GetAppString(APP_STRING_WORKING_DIRECTORY);
  download.server = settings.GetStringParam(OPTION_SERVER);
  download.log = [](const std::string& line) { PostLogLine(line); };
  return download;
}
