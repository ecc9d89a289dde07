#include "shell/log/post_log_line.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"

void PostErrorPrompt() {
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = PROMPT_ERROR;
  prompt->replyTarget = PT_USER_IO;
  prompt->wantReply = 0;
  PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(prompt));
}
