#include "shell/ui/main/flash_dlg.h"

// File > Open Working Folder: the folder where the configuration, the log,
// the product, kernel and image files live, shown in the desktop's file
// manager, so that a user sees where to put them.

#include <QDesktopServices>
#include <QUrl>

#include "engine/core/app_settings.h"
#include "shell/log/post_log_line.h"

void CFlashDlg::OpenWorkingFolder() {
  const std::string folder = GetAppSettings().GetAppString(APP_STRING_WORKING_DIRECTORY);
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)))) return;
  PostLogLine("Error> Unable to open the working folder " + folder + " in a file manager");
  ShowErrorPrompt();
}
