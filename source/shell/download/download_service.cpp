#include "shell/download/download_service.h"

#include <memory>

#include "engine/core/app_settings.h"
#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/download/download_from_settings.h"
#include "shell/download/product_download.h"
#include "shell/userio/product_selection.h"

std::function<void(bool fromScript)> MakeProductDownload(const CAppSettings& settings) {
  return [&settings](bool fromScript) {
    OnDownloadProductFiles(DownloadSettingsFrom(settings), fromScript, [&settings] {
      auto selection = std::make_unique<ProductSelection>();
      selection->productFile = settings.GetStringParam(OPTION_PRODUCT_FILE);
      selection->productTag = settings.GetStringParam(OPTION_PRODUCT_TAG);
      PostToTarget<WM_SELECT_PRODUCT>(PT_USER_IO, std::move(selection));
    });
  };
}
