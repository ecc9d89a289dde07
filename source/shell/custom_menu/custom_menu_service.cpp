#include "shell/custom_menu/custom_menu_service.h"

#include "engine/core/app_settings.h"
#include "shell/custom_menu/custom_menu_loader.h"
#include "shell/log/post_log_line.h"

std::function<void()> MakeCustomMenuLoader(const CAppSettings& settings) {
  return [&settings] {
    LoadCustomMenu(settings.GetAppString(APP_STRING_WORKING_DIRECTORY),
                   [](const std::string& line) { PostLogLine(line); });
  };
}
