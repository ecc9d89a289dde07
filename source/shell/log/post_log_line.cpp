#include "shell/log/post_log_line.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"

void PostLogLine(std::string text) {
  PostToTarget(PT_USER_IO, WM_LOG_LINE, std::make_unique<std::string>(std::move(text)));
}

void PostErrorPrompt() {
  auto prompt = std::make_unique<PromptRequest>();
  prompt->kind = PROMPT_ERROR;
  prompt->replyTarget = PT_USER_IO;
  prompt->wantReply = 0;
  PostToTarget(PT_USER_IO, WM_USER_PROMPT, std::move(prompt));
}
