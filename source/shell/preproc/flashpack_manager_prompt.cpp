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
  prompt->flashpackManager = PromptRequest::FlashpackManagerTarget{record.packManager, record.device};
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
}
