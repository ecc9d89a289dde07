#include "shell/requests/request_log.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"

void LogRequestLine(const std::string& line) {
  PostToTarget(PT_USER_IO, WM_LOG_LINE, std::make_unique<std::string>(line));
}

void ShowErrorPrompt() {
  auto request = std::make_unique<PromptRequest>();
  request->kind = PROMPT_ERROR;
  request->replyTarget = PT_PREPROCESSING;
  request->wantReply = 0;
  PostToTarget(PT_USER_IO, WM_USER_PROMPT, std::move(request));
}
