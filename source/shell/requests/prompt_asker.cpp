#include "shell/requests/prompt_asker.h"

#include <memory>

#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "engine/core/prompt_request.h"
#include "platform/message_queue.h"

int CQueuePromptAsker::AskAndWait(std::int32_t kind, PromptAskerRecord record, const std::string& subject) {
  auto request = std::make_unique<PromptRequest>();
  request->kind = kind;
  request->replyTarget = replyTarget_;
  request->wantReply = 1;
  request->subject = subject;
  request->askerRecord = record;
  if (!PostToTarget<WM_USER_PROMPT>(PT_USER_IO, std::move(request))) {
    return kAnswerAbort;
  }
  std::optional<platform::Message> reply = ownQueue_.TakeMatching(WM_PROMPT_REPLY, WM_PROMPT_REPLY);
  if (!reply) return kAnswerAbort;
  return static_cast<int>(reply->wParam);
}
