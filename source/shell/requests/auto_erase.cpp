#include "shell/requests/auto_erase.h"

#include "engine/core/app_settings.h"
#include "engine/quillon_exception.h"
#include "shell/log/post_log_line.h"
#include "shell/userio/prompt_kind.h"

void RequireAutoErase(IPromptAsker& asker, bool interactive) {
  CAppSettings& settings = GetAppSettings();
  if (settings.GetIntParam(OPTION_AUTO_ERASE_FLASH) != 0) return;
  if (interactive && asker.AskAndWait(PROMPT_ENABLE_AUTO_ERASE) == kAnswerYes) {
    settings.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    return;
  }
  PostLogLine("Error> Auto erase must be enabled to perform this operation");
  throw QUILLON_ERROR;
}
