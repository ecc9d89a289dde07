#include "shell/requests/auto_erase.h"

#include "engine/core/app_settings.h"
#include "engine/quillon_exception.h"
#include "shell/requests/request_log.h"

namespace {

constexpr std::int32_t kAskEnableAutoErase = 8;

}  // namespace

void RequireAutoErase(IPromptAsker& asker, bool interactive) {
  CAppSettings& settings = GetAppSettings();
  if (settings.GetIntParam(OPTION_AUTO_ERASE_FLASH) != 0) return;
  if (interactive && asker.AskAndWait(kAskEnableAutoErase, nullptr) == kPromptYes) {
    settings.SetIntParam(OPTION_AUTO_ERASE_FLASH, 1);
    return;
  }
  LogRequestLine("Error> Auto erase must be enabled to perform this operation");
  throw QUILLON_ERROR;
}
