#include "shell/preproc/flashpack_manager_prompt.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/userio/prompt_kind.h"

void PostFlashpackManagerPrompt(const FlashpackStatusRecord& record) {
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = PROMPT_FLASHPACK_MANAGER;
  prompt->replyTarget = PT_PREPROCESSING;
  prompt->wantReply = 0;
  // A device object that cannot share its set lends it: the handle then
  // does not own it.
  auto packs = record.share ? record.share : std::shared_ptr<CPackManager>(std::shared_ptr<CPackManager>(), record.packManager);
  prompt->flashpackManager = PromptRequest::FlashpackManagerTarget{std::move(packs), record.device};
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
}
