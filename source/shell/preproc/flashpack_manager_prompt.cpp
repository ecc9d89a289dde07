#include "shell/preproc/flashpack_manager_prompt.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/userio/prompt_kind.h"

void PostFlashpackManagerPrompt(const FlashpackStatusRecord& record) {
  auto prompt = std::make_unique<FlashpackManagerPrompt>();
  prompt->request = PromptRequest{PROMPT_FLASHPACK_MANAGER, PT_PREPROCESSING, 0};
  // A device object that cannot share its set lends it: the handle then
  // does not own it.
  prompt->packs = record.share ? record.share : std::shared_ptr<CPackManager>(std::shared_ptr<CPackManager>(), record.packManager);
  prompt->device = record.device;
  PostToTarget(PT_USER_IO, WM_USER_PROMPT, std::move(prompt));
}
