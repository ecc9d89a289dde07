#pragma once
// What the user-I/O thread hands the download and the kernel check: the
// working directory (application string 0), the server (option 14), and log
// lines posted as WM_LOG_LINE to the user-I/O thread, which writes them in
// the order they arrive (so a line logged before an error prompt is the
// line that prompt shows).

#include "engine/core/app_settings.h"
#include "shell/download/download_settings.h"

DownloadSettings DownloadSettingsFrom(const CAppSettings& settings);
