#include "shell/preproc/flashpack_manager_prompt.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"

void PostFlashpackManagerPrompt(const FlashpackStatusRecord& record) {
  constexpr std::int32_t kFlashpackManagerPrompt = 2;
  auto request = std::make_unique<PromptRequest>(PromptRequest{kFlashpackManagerPrompt, PT_PREPROCESSING, 0});
  PostToTarget(PT_USER_IO, WM_USER_PROMPT, std::move(request), reinterpret_cast<platform::LParam>(record.packManager));
}
